#ifndef CRESERVEDNAMES_H
#define CRESERVEDNAMES_H

#include <string_view>

// The names a C symbol stem may not take (csymbol.cpp), list by list.
namespace Convert {
namespace CReservedNames {

// Keywords of C99 to C23, with their alternative spellings. A stem equal to
// one of them would not compile with some compiler or -std setting. "asm" is
// no keyword of ISO C, but C lists it as a common extension and GCC and
// Clang treat it as a keyword in their default GNU modes.
inline constexpr std::string_view keywords[] = {
    "_Alignas",       "_Alignof",      "_Atomic",      "_BitInt",  "_Bool",      "_Complex",
    "_Decimal128",    "_Decimal32",    "_Decimal64",   "_Generic", "_Imaginary", "_Noreturn",
    "_Static_assert", "_Thread_local", "alignas",      "alignof",  "asm",        "auto",
    "bool",           "break",         "case",         "char",     "const",      "constexpr",
    "continue",       "default",       "do",           "double",   "else",       "enum",
    "extern",         "false",         "float",        "for",      "goto",       "if",
    "inline",         "int",           "long",         "nullptr",  "register",   "restrict",
    "return",         "short",         "signed",       "sizeof",   "static",     "static_assert",
    "struct",         "switch",        "thread_local", "true",     "typedef",    "typeof",
    "typeof_unqual",  "union",         "unsigned",     "void",     "volatile",   "while",
};

// Every identifier a generated C file uses besides the two symbols it
// defines, for the LVGL v8 and the LVGL v9 outputs: a stem equal to one of
// them would redefine it or be replaced by its macro. When a writer starts
// to emit a new identifier (a type, a macro, a colour format constant),
// add it here.
inline constexpr std::string_view generatedFileNames[] = {
    // Both versions
    "uint8_t",
    "LV_ATTRIBUTE_MEM_ALIGN",
    "LV_ATTRIBUTE_LARGE_CONST",
    "LV_COLOR_DEPTH",
    "LV_COLOR_16_SWAP",
    "LV_COLOR_SIZE",
    // The include block (--include auto)
    "LV_LVGL_H_INCLUDE_SIMPLE",
    "LV_LVGL_H_INCLUDE_SYSTEM",
    // LVGL v8
    "lv_img_dsc_t",
    "lv_img_header_t",
    "LV_IMG_PX_SIZE_ALPHA_BYTE",
    "LV_IMG_CF_UNKNOWN",
    "LV_IMG_CF_RAW",
    "LV_IMG_CF_RAW_ALPHA",
    "LV_IMG_CF_RAW_CHROMA_KEYED",
    "LV_IMG_CF_TRUE_COLOR",
    "LV_IMG_CF_TRUE_COLOR_ALPHA",
    "LV_IMG_CF_TRUE_COLOR_CHROMA_KEYED",
    "LV_IMG_CF_INDEXED_1BIT",
    "LV_IMG_CF_INDEXED_2BIT",
    "LV_IMG_CF_INDEXED_4BIT",
    "LV_IMG_CF_INDEXED_8BIT",
    "LV_IMG_CF_ALPHA_1BIT",
    "LV_IMG_CF_ALPHA_2BIT",
    "LV_IMG_CF_ALPHA_4BIT",
    "LV_IMG_CF_ALPHA_8BIT",
    "LV_IMG_CF_RGB565A8",
    // LVGL v9
    "lv_image_dsc_t",
    "lv_image_header_t",
    "LV_IMAGE_HEADER_MAGIC",
    "LV_IMAGE_FLAGS_PREMULTIPLIED",
    "LV_IMAGE_FLAGS_COMPRESSED",
    "LV_COLOR_FORMAT_UNKNOWN",
    "LV_COLOR_FORMAT_RAW",
    "LV_COLOR_FORMAT_RAW_ALPHA",
    "LV_COLOR_FORMAT_L8",
    "LV_COLOR_FORMAT_I1",
    "LV_COLOR_FORMAT_I2",
    "LV_COLOR_FORMAT_I4",
    "LV_COLOR_FORMAT_I8",
    "LV_COLOR_FORMAT_A1",
    "LV_COLOR_FORMAT_A2",
    "LV_COLOR_FORMAT_A4",
    "LV_COLOR_FORMAT_A8",
    "LV_COLOR_FORMAT_RGB888",
    "LV_COLOR_FORMAT_ARGB8888",
    "LV_COLOR_FORMAT_XRGB8888",
    "LV_COLOR_FORMAT_RGB565",
    "LV_COLOR_FORMAT_ARGB8565",
    "LV_COLOR_FORMAT_RGB565A8",
    "LV_COLOR_FORMAT_AL88",
    "LV_COLOR_FORMAT_ARGB8888_PREMULTIPLIED",
    "LV_COLOR_FORMAT_RGB565_SWAPPED",
};

// The program's entry point: a file-scope object of that name clashes with
// the application's main function.
inline constexpr std::string_view entryPointNames[] = {"main"};

// The functions, macros, types, tags and objects that the standard headers
// of C17 and C23 declare, header by header. A stem equal to one of them
// clashes with the declaration, or is replaced by the macro, in any file
// that includes the header before the image (LVGL's header includes several)
// or that links against the C library; C reserves them all. Type-generic
// functions are listed once, and the forms with decimal floating types
// (d32, d64, d128 suffixes), declared only where the implementation has
// those types, are left out.
//
// Not listed, on purpose: the name patterns of the future library
// directions (is, to, str, mem or wcs followed by a lowercase letter; cerf,
// cexp2 and the other complex names; atomic_ and memory_order_ names; E,
// SIG, PRI, SCN, LC_, FE_, INT and UINT followed by more). C23 makes them
// only potentially reserved, no library declares the ones it does not
// list, they break no build, and suffixing ordinary words such as "toolbar"
// or "string" would rename many images. The names the headers do declare
// (strlen, isalpha, memcpy, tolower, ...) are listed and are suffixed.
// clang-format off
inline constexpr std::string_view standardLibraryNames[] = {
    // <assert.h>, with NDEBUG, which turns assert off and is often set on the
    // compiler's command line
    "assert", "static_assert", "NDEBUG",
    // <complex.h>, each function also with its f and l forms
    "complex", "_Complex_I", "imaginary", "_Imaginary_I", "I", "CMPLX", "CMPLXF", "CMPLXL", "cacos",
    "cacosf", "cacosl", "casin", "casinf", "casinl", "catan", "catanf", "catanl", "ccos", "ccosf",
    "ccosl", "csin", "csinf", "csinl", "ctan", "ctanf", "ctanl", "cacosh", "cacoshf", "cacoshl",
    "casinh", "casinhf", "casinhl", "catanh", "catanhf", "catanhl", "ccosh", "ccoshf", "ccoshl",
    "csinh", "csinhf", "csinhl", "ctanh", "ctanhf", "ctanhl", "cexp", "cexpf", "cexpl", "clog",
    "clogf", "clogl", "cabs", "cabsf", "cabsl", "cpow", "cpowf", "cpowl", "csqrt", "csqrtf",
    "csqrtl", "carg", "cargf", "cargl", "cimag", "cimagf", "cimagl", "conj", "conjf", "conjl",
    "cproj", "cprojf", "cprojl", "creal", "crealf", "creall",
    // <ctype.h>
    "isalnum", "isalpha", "isblank", "iscntrl", "isdigit", "isgraph", "islower", "isprint",
    "ispunct", "isspace", "isupper", "isxdigit", "tolower", "toupper",
    // <errno.h>
    "errno", "EDOM", "EILSEQ", "ERANGE",
    // <errno.h> of POSIX, Linux and the embedded C libraries newlib and
    // picolibc, which declare these beside the three above
    "E2BIG", "EACCES", "EADDRINUSE", "EADDRNOTAVAIL", "EAFNOSUPPORT", "EAGAIN", "EALREADY", "EBADF",
    "EBADMSG", "EBUSY", "ECANCELED", "ECHILD", "ECONNABORTED", "ECONNREFUSED", "ECONNRESET",
    "EDEADLK", "EDESTADDRREQ", "EDQUOT", "EEXIST", "EFAULT", "EFBIG", "EHOSTDOWN", "EHOSTUNREACH",
    "EIDRM", "EINPROGRESS", "EINTR", "EINVAL", "EIO", "EISCONN", "EISDIR", "ELOOP", "EMFILE",
    "EMLINK", "EMSGSIZE", "EMULTIHOP", "ENAMETOOLONG", "ENETDOWN", "ENETRESET", "ENETUNREACH",
    "ENFILE", "ENOBUFS", "ENODATA", "ENODEV", "ENOENT", "ENOEXEC", "ENOLCK", "ENOLINK", "ENOMEM",
    "ENOMSG", "ENOPROTOOPT", "ENOSPC", "ENOSR", "ENOSTR", "ENOSYS", "ENOTBLK", "ENOTCONN",
    "ENOTDIR", "ENOTEMPTY", "ENOTRECOVERABLE", "ENOTSOCK", "ENOTSUP", "ENOTTY", "ENXIO",
    "EOPNOTSUPP", "EOVERFLOW", "EOWNERDEAD", "EPERM", "EPFNOSUPPORT", "EPIPE", "EPROTO",
    "EPROTONOSUPPORT", "EPROTOTYPE", "EROFS", "ESHUTDOWN", "ESOCKTNOSUPPORT", "ESPIPE", "ESRCH",
    "ESTALE", "ETIME", "ETIMEDOUT", "ETOOMANYREFS", "ETXTBSY", "EUSERS", "EWOULDBLOCK", "EXDEV",
    "EADV", "EBADE", "EBADFD", "EBADR", "EBADRQC", "EBADSLT", "EBFONT", "ECASECLASH", "ECHRNG",
    "ECOMM", "EDEADLOCK", "EDOTDOT", "EFTYPE", "EHWPOISON", "EISNAM", "EKEYEXPIRED", "EKEYREJECTED",
    "EKEYREVOKED", "EL2HLT", "EL2NSYNC", "EL3HLT", "EL3RST", "ELBIN", "ELIBACC", "ELIBBAD",
    "ELIBEXEC", "ELIBMAX", "ELIBSCN", "ELNRNG", "EMEDIUMTYPE", "ENAVAIL", "ENMFILE", "ENOANO",
    "ENOCSI", "ENOKEY", "ENOMEDIUM", "ENONET", "ENOPKG", "ENOSHARE", "ENOTNAM", "ENOTUNIQ",
    "EPROCLIM", "EREMCHG", "EREMOTE", "EREMOTEIO", "ERESTART", "ERFKILL", "ESRMNT", "ESTRPIPE",
    "EUCLEAN", "EUNATCH", "EXFULL",
    // <fenv.h>
    "fenv_t", "fexcept_t", "femode_t", "FE_DIVBYZERO", "FE_INEXACT", "FE_INVALID", "FE_OVERFLOW",
    "FE_UNDERFLOW", "FE_ALL_EXCEPT", "FE_DOWNWARD", "FE_TONEAREST", "FE_TONEARESTFROMZERO",
    "FE_TOWARDZERO", "FE_UPWARD", "FE_DFL_ENV", "FE_DFL_MODE", "FE_SNANS_ALWAYS_SIGNAL",
    "FE_DEC_DOWNWARD", "FE_DEC_TONEAREST", "FE_DEC_TONEARESTFROMZERO", "FE_DEC_TOWARDZERO",
    "FE_DEC_UPWARD", "feclearexcept", "fegetexceptflag", "feraiseexcept", "fesetexcept",
    "fesetexceptflag", "fetestexceptflag", "fetestexcept", "fegetmode", "fegetround",
    "fe_dec_getround", "fesetmode", "fesetround", "fe_dec_setround", "fegetenv", "feholdexcept",
    "fesetenv", "feupdateenv",
    // <float.h>
    "FLT_RADIX", "FLT_ROUNDS", "FLT_EVAL_METHOD", "DECIMAL_DIG", "DEC_EVAL_METHOD", "INFINITY",
    "NAN", "DEC_INFINITY", "DEC_NAN", "FLT_DECIMAL_DIG", "FLT_DIG", "FLT_EPSILON",
    "FLT_HAS_SUBNORM", "FLT_IS_IEC_60559", "FLT_MANT_DIG", "FLT_MAX", "FLT_MAX_10_EXP",
    "FLT_MAX_EXP", "FLT_MIN", "FLT_MIN_10_EXP", "FLT_MIN_EXP", "FLT_NORM_MAX", "FLT_SNAN",
    "FLT_TRUE_MIN", "DBL_DECIMAL_DIG", "DBL_DIG", "DBL_EPSILON", "DBL_HAS_SUBNORM",
    "DBL_IS_IEC_60559", "DBL_MANT_DIG", "DBL_MAX", "DBL_MAX_10_EXP", "DBL_MAX_EXP", "DBL_MIN",
    "DBL_MIN_10_EXP", "DBL_MIN_EXP", "DBL_NORM_MAX", "DBL_SNAN", "DBL_TRUE_MIN", "LDBL_DECIMAL_DIG",
    "LDBL_DIG", "LDBL_EPSILON", "LDBL_HAS_SUBNORM", "LDBL_IS_IEC_60559", "LDBL_MANT_DIG",
    "LDBL_MAX", "LDBL_MAX_10_EXP", "LDBL_MAX_EXP", "LDBL_MIN", "LDBL_MIN_10_EXP", "LDBL_MIN_EXP",
    "LDBL_NORM_MAX", "LDBL_SNAN", "LDBL_TRUE_MIN", "DEC32_EPSILON", "DEC32_MANT_DIG", "DEC32_MAX",
    "DEC32_MAX_EXP", "DEC32_MIN", "DEC32_MIN_EXP", "DEC32_SNAN", "DEC32_TRUE_MIN", "DEC64_EPSILON",
    "DEC64_MANT_DIG", "DEC64_MAX", "DEC64_MAX_EXP", "DEC64_MIN", "DEC64_MIN_EXP", "DEC64_SNAN",
    "DEC64_TRUE_MIN", "DEC128_EPSILON", "DEC128_MANT_DIG", "DEC128_MAX", "DEC128_MAX_EXP",
    "DEC128_MIN", "DEC128_MIN_EXP", "DEC128_SNAN", "DEC128_TRUE_MIN",
    // <inttypes.h>
    "imaxdiv_t", "imaxabs", "imaxdiv", "strtoimax", "strtoumax", "wcstoimax", "wcstoumax", "PRId8",
    "PRIdLEAST8", "PRIdFAST8", "PRId16", "PRIdLEAST16", "PRIdFAST16", "PRId32", "PRIdLEAST32",
    "PRIdFAST32", "PRId64", "PRIdLEAST64", "PRIdFAST64", "PRIdMAX", "PRIdPTR", "PRIi8",
    "PRIiLEAST8", "PRIiFAST8", "PRIi16", "PRIiLEAST16", "PRIiFAST16", "PRIi32", "PRIiLEAST32",
    "PRIiFAST32", "PRIi64", "PRIiLEAST64", "PRIiFAST64", "PRIiMAX", "PRIiPTR", "PRIo8",
    "PRIoLEAST8", "PRIoFAST8", "PRIo16", "PRIoLEAST16", "PRIoFAST16", "PRIo32", "PRIoLEAST32",
    "PRIoFAST32", "PRIo64", "PRIoLEAST64", "PRIoFAST64", "PRIoMAX", "PRIoPTR", "PRIu8",
    "PRIuLEAST8", "PRIuFAST8", "PRIu16", "PRIuLEAST16", "PRIuFAST16", "PRIu32", "PRIuLEAST32",
    "PRIuFAST32", "PRIu64", "PRIuLEAST64", "PRIuFAST64", "PRIuMAX", "PRIuPTR", "PRIx8",
    "PRIxLEAST8", "PRIxFAST8", "PRIx16", "PRIxLEAST16", "PRIxFAST16", "PRIx32", "PRIxLEAST32",
    "PRIxFAST32", "PRIx64", "PRIxLEAST64", "PRIxFAST64", "PRIxMAX", "PRIxPTR", "PRIX8",
    "PRIXLEAST8", "PRIXFAST8", "PRIX16", "PRIXLEAST16", "PRIXFAST16", "PRIX32", "PRIXLEAST32",
    "PRIXFAST32", "PRIX64", "PRIXLEAST64", "PRIXFAST64", "PRIXMAX", "PRIXPTR", "PRIb8",
    "PRIbLEAST8", "PRIbFAST8", "PRIb16", "PRIbLEAST16", "PRIbFAST16", "PRIb32", "PRIbLEAST32",
    "PRIbFAST32", "PRIb64", "PRIbLEAST64", "PRIbFAST64", "PRIbMAX", "PRIbPTR", "PRIB8",
    "PRIBLEAST8", "PRIBFAST8", "PRIB16", "PRIBLEAST16", "PRIBFAST16", "PRIB32", "PRIBLEAST32",
    "PRIBFAST32", "PRIB64", "PRIBLEAST64", "PRIBFAST64", "PRIBMAX", "PRIBPTR", "SCNd8",
    "SCNdLEAST8", "SCNdFAST8", "SCNd16", "SCNdLEAST16", "SCNdFAST16", "SCNd32", "SCNdLEAST32",
    "SCNdFAST32", "SCNd64", "SCNdLEAST64", "SCNdFAST64", "SCNdMAX", "SCNdPTR", "SCNi8",
    "SCNiLEAST8", "SCNiFAST8", "SCNi16", "SCNiLEAST16", "SCNiFAST16", "SCNi32", "SCNiLEAST32",
    "SCNiFAST32", "SCNi64", "SCNiLEAST64", "SCNiFAST64", "SCNiMAX", "SCNiPTR", "SCNo8",
    "SCNoLEAST8", "SCNoFAST8", "SCNo16", "SCNoLEAST16", "SCNoFAST16", "SCNo32", "SCNoLEAST32",
    "SCNoFAST32", "SCNo64", "SCNoLEAST64", "SCNoFAST64", "SCNoMAX", "SCNoPTR", "SCNu8",
    "SCNuLEAST8", "SCNuFAST8", "SCNu16", "SCNuLEAST16", "SCNuFAST16", "SCNu32", "SCNuLEAST32",
    "SCNuFAST32", "SCNu64", "SCNuLEAST64", "SCNuFAST64", "SCNuMAX", "SCNuPTR", "SCNx8",
    "SCNxLEAST8", "SCNxFAST8", "SCNx16", "SCNxLEAST16", "SCNxFAST16", "SCNx32", "SCNxLEAST32",
    "SCNxFAST32", "SCNx64", "SCNxLEAST64", "SCNxFAST64", "SCNxMAX", "SCNxPTR", "SCNb8",
    "SCNbLEAST8", "SCNbFAST8", "SCNb16", "SCNbLEAST16", "SCNbFAST16", "SCNb32", "SCNbLEAST32",
    "SCNbFAST32", "SCNb64", "SCNbLEAST64", "SCNbFAST64", "SCNbMAX", "SCNbPTR",
    // <iso646.h>
    "and", "and_eq", "bitand", "bitor", "compl", "not", "not_eq", "or", "or_eq", "xor", "xor_eq",
    // <limits.h>
    "CHAR_BIT", "SCHAR_MIN", "SCHAR_MAX", "UCHAR_MAX", "CHAR_MIN", "CHAR_MAX", "MB_LEN_MAX",
    "SHRT_MIN", "SHRT_MAX", "USHRT_MAX", "INT_MIN", "INT_MAX", "UINT_MAX", "LONG_MIN", "LONG_MAX",
    "ULONG_MAX", "LLONG_MIN", "LLONG_MAX", "ULLONG_MAX", "BITINT_MAXWIDTH", "BOOL_MAX",
    "BOOL_WIDTH", "CHAR_WIDTH", "SCHAR_WIDTH", "UCHAR_WIDTH", "SHRT_WIDTH", "USHRT_WIDTH",
    "INT_WIDTH", "UINT_WIDTH", "LONG_WIDTH", "ULONG_WIDTH", "LLONG_WIDTH", "ULLONG_WIDTH",
    // <locale.h>, with LC_MESSAGES of POSIX and the categories glibc adds
    "lconv", "LC_ALL", "LC_COLLATE", "LC_CTYPE", "LC_MONETARY", "LC_NUMERIC", "LC_TIME", "NULL",
    "setlocale", "localeconv", "LC_MESSAGES", "LC_ADDRESS", "LC_IDENTIFICATION", "LC_MEASUREMENT",
    "LC_NAME", "LC_PAPER", "LC_TELEPHONE",
    // <math.h>: types, macros and type-generic macros
    "float_t", "double_t", "HUGE_VAL", "HUGE_VALF", "HUGE_VALL", "INFINITY", "NAN", "FP_INFINITE",
    "FP_NAN", "FP_NORMAL", "FP_SUBNORMAL", "FP_ZERO", "FP_INT_UPWARD", "FP_INT_DOWNWARD",
    "FP_INT_TOWARDZERO", "FP_INT_TONEARESTFROMZERO", "FP_INT_TONEAREST", "FP_FAST_FMA",
    "FP_FAST_FMAF", "FP_FAST_FMAL", "FP_ILOGB0", "FP_ILOGBNAN", "FP_LLOGB0", "FP_LLOGBNAN",
    "MATH_ERRNO", "MATH_ERREXCEPT", "math_errhandling", "fpclassify", "iscanonical", "isfinite",
    "isinf", "isnan", "isnormal", "signbit", "issignaling", "issubnormal", "iszero", "isgreater",
    "isgreaterequal", "isless", "islessequal", "islessgreater", "isunordered", "iseqsig",
    "FP_FAST_FADD", "FP_FAST_FADDL", "FP_FAST_DADDL", "FP_FAST_FSUB", "FP_FAST_FSUBL",
    "FP_FAST_DSUBL", "FP_FAST_FMUL", "FP_FAST_FMULL", "FP_FAST_DMULL", "FP_FAST_FDIV",
    "FP_FAST_FDIVL", "FP_FAST_DDIVL", "FP_FAST_FFMA", "FP_FAST_FFMAL", "FP_FAST_DFMAL",
    "FP_FAST_FSQRT", "FP_FAST_FSQRTL", "FP_FAST_DSQRTL",
    // <math.h>: functions, each with its f and l forms, then the narrowing
    // functions (fadd: double to float, faddl: long double to float, daddl:
    // long double to double)
    "acos", "acosf", "acosl", "asin", "asinf", "asinl", "atan", "atanf", "atanl", "atan2", "atan2f",
    "atan2l", "cos", "cosf", "cosl", "sin", "sinf", "sinl", "tan", "tanf", "tanl", "acospi",
    "acospif", "acospil", "asinpi", "asinpif", "asinpil", "atanpi", "atanpif", "atanpil", "atan2pi",
    "atan2pif", "atan2pil", "cospi", "cospif", "cospil", "sinpi", "sinpif", "sinpil", "tanpi",
    "tanpif", "tanpil", "acosh", "acoshf", "acoshl", "asinh", "asinhf", "asinhl", "atanh", "atanhf",
    "atanhl", "cosh", "coshf", "coshl", "sinh", "sinhf", "sinhl", "tanh", "tanhf", "tanhl", "exp",
    "expf", "expl", "exp10", "exp10f", "exp10l", "exp10m1", "exp10m1f", "exp10m1l", "exp2", "exp2f",
    "exp2l", "exp2m1", "exp2m1f", "exp2m1l", "expm1", "expm1f", "expm1l", "frexp", "frexpf",
    "frexpl", "ilogb", "ilogbf", "ilogbl", "ldexp", "ldexpf", "ldexpl", "llogb", "llogbf", "llogbl",
    "log", "logf", "logl", "log10", "log10f", "log10l", "log10p1", "log10p1f", "log10p1l", "log1p",
    "log1pf", "log1pl", "logp1", "logp1f", "logp1l", "log2", "log2f", "log2l", "log2p1", "log2p1f",
    "log2p1l", "logb", "logbf", "logbl", "modf", "modff", "modfl", "scalbn", "scalbnf", "scalbnl",
    "scalbln", "scalblnf", "scalblnl", "cbrt", "cbrtf", "cbrtl", "compoundn", "compoundnf",
    "compoundnl", "fabs", "fabsf", "fabsl", "hypot", "hypotf", "hypotl", "pow", "powf", "powl",
    "pown", "pownf", "pownl", "powr", "powrf", "powrl", "rootn", "rootnf", "rootnl", "rsqrt",
    "rsqrtf", "rsqrtl", "sqrt", "sqrtf", "sqrtl", "erf", "erff", "erfl", "erfc", "erfcf", "erfcl",
    "lgamma", "lgammaf", "lgammal", "tgamma", "tgammaf", "tgammal", "ceil", "ceilf", "ceill",
    "floor", "floorf", "floorl", "nearbyint", "nearbyintf", "nearbyintl", "rint", "rintf", "rintl",
    "lrint", "lrintf", "lrintl", "llrint", "llrintf", "llrintl", "round", "roundf", "roundl",
    "lround", "lroundf", "lroundl", "llround", "llroundf", "llroundl", "roundeven", "roundevenf",
    "roundevenl", "trunc", "truncf", "truncl", "fromfp", "fromfpf", "fromfpl", "ufromfp",
    "ufromfpf", "ufromfpl", "fromfpx", "fromfpxf", "fromfpxl", "ufromfpx", "ufromfpxf", "ufromfpxl",
    "fmod", "fmodf", "fmodl", "remainder", "remainderf", "remainderl", "remquo", "remquof",
    "remquol", "copysign", "copysignf", "copysignl", "nan", "nanf", "nanl", "nextafter",
    "nextafterf", "nextafterl", "nexttoward", "nexttowardf", "nexttowardl", "nextup", "nextupf",
    "nextupl", "nextdown", "nextdownf", "nextdownl", "canonicalize", "canonicalizef",
    "canonicalizel", "fdim", "fdimf", "fdiml", "fmax", "fmaxf", "fmaxl", "fmin", "fminf", "fminl",
    "fmaximum", "fmaximumf", "fmaximuml", "fminimum", "fminimumf", "fminimuml", "fmaximum_mag",
    "fmaximum_magf", "fmaximum_magl", "fminimum_mag", "fminimum_magf", "fminimum_magl",
    "fmaximum_num", "fmaximum_numf", "fmaximum_numl", "fminimum_num", "fminimum_numf",
    "fminimum_numl", "fmaximum_mag_num", "fmaximum_mag_numf", "fmaximum_mag_numl",
    "fminimum_mag_num", "fminimum_mag_numf", "fminimum_mag_numl", "fma", "fmaf", "fmal",
    "totalorder", "totalorderf", "totalorderl", "totalordermag", "totalordermagf", "totalordermagl",
    "getpayload", "getpayloadf", "getpayloadl", "setpayload", "setpayloadf", "setpayloadl",
    "setpayloadsig", "setpayloadsigf", "setpayloadsigl", "fadd", "faddl", "daddl", "fsub", "fsubl",
    "dsubl", "fmul", "fmull", "dmull", "fdiv", "fdivl", "ddivl", "ffma", "ffmal", "dfmal", "fsqrt",
    "fsqrtl", "dsqrtl",
    // <tgmath.h>: the type-generic narrowing macros that no function shares
    // a name with
    "dadd", "dsub", "dmul", "ddiv", "dfma", "dsqrt",
    // <setjmp.h>
    "jmp_buf", "setjmp", "longjmp",
    // <signal.h>
    "sig_atomic_t", "SIG_DFL", "SIG_ERR", "SIG_IGN", "SIGABRT", "SIGFPE", "SIGILL", "SIGINT",
    "SIGSEGV", "SIGTERM", "signal", "raise",
    // <signal.h> of POSIX, Linux and the embedded C libraries
    "SIG_HOLD", "NSIG", "SIGRTMIN", "SIGRTMAX", "SIGALRM", "SIGBUS", "SIGCHLD", "SIGCLD", "SIGCONT",
    "SIGEMT", "SIGHUP", "SIGINFO", "SIGIO", "SIGIOT", "SIGKILL", "SIGLOST", "SIGPIPE", "SIGPOLL",
    "SIGPROF", "SIGPWR", "SIGQUIT", "SIGSTKFLT", "SIGSTOP", "SIGSYS", "SIGTRAP", "SIGTSTP",
    "SIGTTIN", "SIGTTOU", "SIGURG", "SIGUSR1", "SIGUSR2", "SIGVTALRM", "SIGWINCH", "SIGXCPU",
    "SIGXFSZ",
    // <stdalign.h>
    "alignas", "alignof",
    // <stdarg.h>
    "va_list", "va_start", "va_arg", "va_copy", "va_end",
    // <stdatomic.h>
    "ATOMIC_BOOL_LOCK_FREE", "ATOMIC_CHAR_LOCK_FREE", "ATOMIC_CHAR8_T_LOCK_FREE",
    "ATOMIC_CHAR16_T_LOCK_FREE", "ATOMIC_CHAR32_T_LOCK_FREE", "ATOMIC_WCHAR_T_LOCK_FREE",
    "ATOMIC_SHORT_LOCK_FREE", "ATOMIC_INT_LOCK_FREE", "ATOMIC_LONG_LOCK_FREE",
    "ATOMIC_LLONG_LOCK_FREE", "ATOMIC_POINTER_LOCK_FREE", "ATOMIC_FLAG_INIT", "ATOMIC_VAR_INIT",
    "memory_order", "memory_order_relaxed", "memory_order_consume", "memory_order_acquire",
    "memory_order_release", "memory_order_acq_rel", "memory_order_seq_cst", "kill_dependency",
    "atomic_flag", "atomic_init", "atomic_thread_fence", "atomic_signal_fence",
    "atomic_is_lock_free", "atomic_flag_test_and_set", "atomic_flag_test_and_set_explicit",
    "atomic_flag_clear", "atomic_flag_clear_explicit", "atomic_store", "atomic_store_explicit",
    "atomic_load", "atomic_load_explicit", "atomic_exchange", "atomic_exchange_explicit",
    "atomic_compare_exchange_strong", "atomic_compare_exchange_strong_explicit",
    "atomic_compare_exchange_weak", "atomic_compare_exchange_weak_explicit", "atomic_fetch_add",
    "atomic_fetch_add_explicit", "atomic_fetch_sub", "atomic_fetch_sub_explicit", "atomic_fetch_or",
    "atomic_fetch_or_explicit", "atomic_fetch_xor", "atomic_fetch_xor_explicit", "atomic_fetch_and",
    "atomic_fetch_and_explicit", "atomic_bool", "atomic_char", "atomic_schar", "atomic_uchar",
    "atomic_short", "atomic_ushort", "atomic_int", "atomic_uint", "atomic_long", "atomic_ulong",
    "atomic_llong", "atomic_ullong", "atomic_char8_t", "atomic_char16_t", "atomic_char32_t",
    "atomic_wchar_t", "atomic_int_least8_t", "atomic_uint_least8_t", "atomic_int_least16_t",
    "atomic_uint_least16_t", "atomic_int_least32_t", "atomic_uint_least32_t",
    "atomic_int_least64_t", "atomic_uint_least64_t", "atomic_int_fast8_t", "atomic_uint_fast8_t",
    "atomic_int_fast16_t", "atomic_uint_fast16_t", "atomic_int_fast32_t", "atomic_uint_fast32_t",
    "atomic_int_fast64_t", "atomic_uint_fast64_t", "atomic_intptr_t", "atomic_uintptr_t",
    "atomic_size_t", "atomic_ptrdiff_t", "atomic_intmax_t", "atomic_uintmax_t",
    // <stdbit.h>, each function also with its _uc, _us, _ui, _ul and _ull forms
    "stdc_leading_zeros", "stdc_leading_zeros_uc", "stdc_leading_zeros_us", "stdc_leading_zeros_ui",
    "stdc_leading_zeros_ul", "stdc_leading_zeros_ull", "stdc_leading_ones", "stdc_leading_ones_uc",
    "stdc_leading_ones_us", "stdc_leading_ones_ui", "stdc_leading_ones_ul", "stdc_leading_ones_ull",
    "stdc_trailing_zeros", "stdc_trailing_zeros_uc", "stdc_trailing_zeros_us",
    "stdc_trailing_zeros_ui", "stdc_trailing_zeros_ul", "stdc_trailing_zeros_ull",
    "stdc_trailing_ones", "stdc_trailing_ones_uc", "stdc_trailing_ones_us", "stdc_trailing_ones_ui",
    "stdc_trailing_ones_ul", "stdc_trailing_ones_ull", "stdc_first_leading_zero",
    "stdc_first_leading_zero_uc", "stdc_first_leading_zero_us", "stdc_first_leading_zero_ui",
    "stdc_first_leading_zero_ul", "stdc_first_leading_zero_ull", "stdc_first_leading_one",
    "stdc_first_leading_one_uc", "stdc_first_leading_one_us", "stdc_first_leading_one_ui",
    "stdc_first_leading_one_ul", "stdc_first_leading_one_ull", "stdc_first_trailing_zero",
    "stdc_first_trailing_zero_uc", "stdc_first_trailing_zero_us", "stdc_first_trailing_zero_ui",
    "stdc_first_trailing_zero_ul", "stdc_first_trailing_zero_ull", "stdc_first_trailing_one",
    "stdc_first_trailing_one_uc", "stdc_first_trailing_one_us", "stdc_first_trailing_one_ui",
    "stdc_first_trailing_one_ul", "stdc_first_trailing_one_ull", "stdc_count_zeros",
    "stdc_count_zeros_uc", "stdc_count_zeros_us", "stdc_count_zeros_ui", "stdc_count_zeros_ul",
    "stdc_count_zeros_ull", "stdc_count_ones", "stdc_count_ones_uc", "stdc_count_ones_us",
    "stdc_count_ones_ui", "stdc_count_ones_ul", "stdc_count_ones_ull", "stdc_has_single_bit",
    "stdc_has_single_bit_uc", "stdc_has_single_bit_us", "stdc_has_single_bit_ui",
    "stdc_has_single_bit_ul", "stdc_has_single_bit_ull", "stdc_bit_width", "stdc_bit_width_uc",
    "stdc_bit_width_us", "stdc_bit_width_ui", "stdc_bit_width_ul", "stdc_bit_width_ull",
    "stdc_bit_floor", "stdc_bit_floor_uc", "stdc_bit_floor_us", "stdc_bit_floor_ui",
    "stdc_bit_floor_ul", "stdc_bit_floor_ull", "stdc_bit_ceil", "stdc_bit_ceil_uc",
    "stdc_bit_ceil_us", "stdc_bit_ceil_ui", "stdc_bit_ceil_ul", "stdc_bit_ceil_ull",
    // <stdbool.h>
    "bool", "true", "false",
    // <stdckdint.h>
    "ckd_add", "ckd_sub", "ckd_mul",
    // <stddef.h>
    "ptrdiff_t", "size_t", "max_align_t", "wchar_t", "nullptr_t", "NULL", "offsetof", "unreachable",
    // <stdint.h>
    "int8_t", "int_least8_t", "int_fast8_t", "int16_t", "int_least16_t", "int_fast16_t", "int32_t",
    "int_least32_t", "int_fast32_t", "int64_t", "int_least64_t", "int_fast64_t", "intptr_t",
    "intmax_t", "uint8_t", "uint_least8_t", "uint_fast8_t", "uint16_t", "uint_least16_t",
    "uint_fast16_t", "uint32_t", "uint_least32_t", "uint_fast32_t", "uint64_t", "uint_least64_t",
    "uint_fast64_t", "uintptr_t", "uintmax_t", "INT8_MIN", "INT8_MAX", "UINT8_MAX", "INT8_WIDTH",
    "UINT8_WIDTH", "INT_LEAST8_MIN", "INT_LEAST8_MAX", "UINT_LEAST8_MAX", "INT_LEAST8_WIDTH",
    "UINT_LEAST8_WIDTH", "INT_FAST8_MIN", "INT_FAST8_MAX", "UINT_FAST8_MAX", "INT_FAST8_WIDTH",
    "UINT_FAST8_WIDTH", "INT8_C", "UINT8_C", "INT16_MIN", "INT16_MAX", "UINT16_MAX", "INT16_WIDTH",
    "UINT16_WIDTH", "INT_LEAST16_MIN", "INT_LEAST16_MAX", "UINT_LEAST16_MAX", "INT_LEAST16_WIDTH",
    "UINT_LEAST16_WIDTH", "INT_FAST16_MIN", "INT_FAST16_MAX", "UINT_FAST16_MAX", "INT_FAST16_WIDTH",
    "UINT_FAST16_WIDTH", "INT16_C", "UINT16_C", "INT32_MIN", "INT32_MAX", "UINT32_MAX",
    "INT32_WIDTH", "UINT32_WIDTH", "INT_LEAST32_MIN", "INT_LEAST32_MAX", "UINT_LEAST32_MAX",
    "INT_LEAST32_WIDTH", "UINT_LEAST32_WIDTH", "INT_FAST32_MIN", "INT_FAST32_MAX",
    "UINT_FAST32_MAX", "INT_FAST32_WIDTH", "UINT_FAST32_WIDTH", "INT32_C", "UINT32_C", "INT64_MIN",
    "INT64_MAX", "UINT64_MAX", "INT64_WIDTH", "UINT64_WIDTH", "INT_LEAST64_MIN", "INT_LEAST64_MAX",
    "UINT_LEAST64_MAX", "INT_LEAST64_WIDTH", "UINT_LEAST64_WIDTH", "INT_FAST64_MIN",
    "INT_FAST64_MAX", "UINT_FAST64_MAX", "INT_FAST64_WIDTH", "UINT_FAST64_WIDTH", "INT64_C",
    "UINT64_C", "INTPTR_MIN", "INTPTR_MAX", "UINTPTR_MAX", "INTPTR_WIDTH", "UINTPTR_WIDTH",
    "INTMAX_MIN", "INTMAX_MAX", "UINTMAX_MAX", "INTMAX_WIDTH", "UINTMAX_WIDTH", "INTMAX_C",
    "UINTMAX_C", "PTRDIFF_MIN", "PTRDIFF_MAX", "PTRDIFF_WIDTH", "SIG_ATOMIC_MIN", "SIG_ATOMIC_MAX",
    "SIG_ATOMIC_WIDTH", "SIZE_MAX", "SIZE_WIDTH", "WCHAR_MIN", "WCHAR_MAX", "WCHAR_WIDTH",
    "WINT_MIN", "WINT_MAX", "WINT_WIDTH",
    // <stdio.h>
    "FILE", "fpos_t", "size_t", "NULL", "_IOFBF", "_IOLBF", "_IONBF", "_PRINTF_NAN_LEN_MAX",
    "BUFSIZ", "EOF", "FOPEN_MAX", "FILENAME_MAX", "L_tmpnam", "SEEK_CUR", "SEEK_END", "SEEK_SET",
    "TMP_MAX", "stderr", "stdin", "stdout", "remove", "rename", "tmpfile", "tmpnam", "fclose",
    "fflush", "fopen", "freopen", "setbuf", "setvbuf", "fprintf", "fscanf", "printf", "scanf",
    "snprintf", "sprintf", "sscanf", "vfprintf", "vfscanf", "vprintf", "vscanf", "vsnprintf",
    "vsprintf", "vsscanf", "fgetc", "fgets", "fputc", "fputs", "getc", "getchar", "gets", "putc",
    "putchar", "puts", "ungetc", "fread", "fwrite", "fgetpos", "fseek", "fsetpos", "ftell",
    "rewind", "clearerr", "feof", "ferror", "perror",
    // <stdlib.h>
    "div_t", "ldiv_t", "lldiv_t", "size_t", "wchar_t", "NULL", "EXIT_FAILURE", "EXIT_SUCCESS",
    "RAND_MAX", "MB_CUR_MAX", "once_flag", "ONCE_FLAG_INIT", "call_once", "atof", "atoi", "atol",
    "atoll", "strfromd", "strfromf", "strfroml", "strtod", "strtof", "strtold", "strtol", "strtoll",
    "strtoul", "strtoull", "rand", "srand", "aligned_alloc", "calloc", "free", "free_sized",
    "free_aligned_sized", "malloc", "realloc", "abort", "atexit", "at_quick_exit", "exit", "_Exit",
    "getenv", "quick_exit", "system", "bsearch", "qsort", "abs", "labs", "llabs", "div", "ldiv",
    "lldiv", "mblen", "mbtowc", "wctomb", "mbstowcs", "wcstombs", "memalignment",
    // <stdnoreturn.h>
    "noreturn",
    // <string.h>
    "memcpy", "memccpy", "memmove", "strcpy", "strncpy", "strdup", "strndup", "strcat", "strncat",
    "memcmp", "strcmp", "strcoll", "strncmp", "strxfrm", "memchr", "strchr", "strcspn", "strpbrk",
    "strrchr", "strspn", "strstr", "strtok", "memset", "memset_explicit", "strerror", "strlen",
    // <threads.h>
    "thread_local", "ONCE_FLAG_INIT", "TSS_DTOR_ITERATIONS", "cnd_t", "thrd_t", "tss_t", "mtx_t",
    "tss_dtor_t", "thrd_start_t", "once_flag", "mtx_plain", "mtx_recursive", "mtx_timed",
    "thrd_timedout", "thrd_success", "thrd_busy", "thrd_error", "thrd_nomem", "call_once",
    "cnd_broadcast", "cnd_destroy", "cnd_init", "cnd_signal", "cnd_timedwait", "cnd_wait",
    "mtx_destroy", "mtx_init", "mtx_lock", "mtx_timedlock", "mtx_trylock", "mtx_unlock",
    "thrd_create", "thrd_current", "thrd_detach", "thrd_equal", "thrd_exit", "thrd_join",
    "thrd_sleep", "thrd_yield", "tss_create", "tss_delete", "tss_get", "tss_set",
    // <time.h>
    "NULL", "CLOCKS_PER_SEC", "TIME_UTC", "TIME_MONOTONIC", "TIME_ACTIVE", "TIME_THREAD_ACTIVE",
    "size_t", "clock_t", "time_t", "timespec", "tm", "clock", "difftime", "mktime", "time",
    "timegm", "timespec_get", "timespec_getres", "asctime", "ctime", "gmtime", "gmtime_r",
    "localtime", "localtime_r", "strftime",
    // <uchar.h>
    "mbstate_t", "size_t", "char8_t", "char16_t", "char32_t", "mbrtoc8", "c8rtomb", "mbrtoc16",
    "c16rtomb", "mbrtoc32", "c32rtomb",
    // <wchar.h>
    "wchar_t", "size_t", "mbstate_t", "wint_t", "tm", "NULL", "WCHAR_MAX", "WCHAR_MIN", "WEOF",
    "fwprintf", "fwscanf", "swprintf", "swscanf", "vfwprintf", "vfwscanf", "vswprintf", "vswscanf",
    "vwprintf", "vwscanf", "wprintf", "wscanf", "fgetwc", "fgetws", "fputwc", "fputws", "fwide",
    "getwc", "getwchar", "putwc", "putwchar", "ungetwc", "wcstod", "wcstof", "wcstold", "wcstol",
    "wcstoll", "wcstoul", "wcstoull", "wcscpy", "wcsncpy", "wmemcpy", "wmemmove", "wcscat",
    "wcsncat", "wcscmp", "wcscoll", "wcsncmp", "wcsxfrm", "wmemcmp", "wcschr", "wcscspn", "wcspbrk",
    "wcsrchr", "wcsspn", "wcsstr", "wcstok", "wmemchr", "wcslen", "wmemset", "wcsftime", "btowc",
    "wctob", "mbsinit", "mbrlen", "mbrtowc", "wcrtomb", "mbsrtowcs", "wcsrtombs",
    // <wctype.h>
    "wint_t", "wctrans_t", "wctype_t", "WEOF", "iswalnum", "iswalpha", "iswblank", "iswcntrl",
    "iswdigit", "iswgraph", "iswlower", "iswprint", "iswpunct", "iswspace", "iswupper", "iswxdigit",
    "iswctype", "wctype", "towlower", "towupper", "towctrans", "wctrans",
    // The bounds-checking interfaces, which <errno.h>, <stddef.h>, <stdint.h>,
    // <stdio.h>, <stdlib.h>, <string.h>, <time.h> and <wchar.h> declare when
    // the program defines __STDC_WANT_LIB_EXT1__
    "errno_t", "rsize_t", "RSIZE_MAX", "L_tmpnam_s", "TMP_MAX_S", "constraint_handler_t",
    "set_constraint_handler_s", "abort_handler_s", "ignore_handler_s", "tmpfile_s", "tmpnam_s",
    "fopen_s", "freopen_s", "fprintf_s", "fscanf_s", "printf_s", "scanf_s", "snprintf_s",
    "sprintf_s", "sscanf_s", "vfprintf_s", "vfscanf_s", "vprintf_s", "vscanf_s", "vsnprintf_s",
    "vsprintf_s", "vsscanf_s", "gets_s", "getenv_s", "bsearch_s", "qsort_s", "wctomb_s",
    "mbstowcs_s", "wcstombs_s", "memcpy_s", "memmove_s", "strcpy_s", "strncpy_s", "strcat_s",
    "strncat_s", "strtok_s", "memset_s", "strerror_s", "strerrorlen_s", "strnlen_s", "asctime_s",
    "ctime_s", "gmtime_s", "localtime_s", "fwprintf_s", "fwscanf_s", "snwprintf_s", "swprintf_s",
    "swscanf_s", "vfwprintf_s", "vfwscanf_s", "vsnwprintf_s", "vswprintf_s", "vswscanf_s",
    "vwprintf_s", "vwscanf_s", "wprintf_s", "wscanf_s", "wcscpy_s", "wcsncpy_s", "wmemcpy_s",
    "wmemmove_s", "wcscat_s", "wcsncat_s", "wcstok_s", "wcsnlen_s", "wcrtomb_s", "mbsrtowcs_s",
    "wcsrtombs_s",
};
// clang-format on

} // namespace CReservedNames
} // namespace Convert

#endif // CRESERVEDNAMES_H
