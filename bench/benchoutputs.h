#ifndef BENCHOUTPUTS_H
#define BENCHOUTPUTS_H

#include <formats.h>

// The seven outputs the program writes, named as on the command line.
struct BenchOutput
{
    const char *name;
    Convert::OutputFormat output;
    Convert::ColorFormat color;
};

inline constexpr BenchOutput benchOutputs[] = {
    {"c-true-color", Convert::CArray, Convert::TrueColor},
    {"c-true-color-alpha", Convert::CArray, Convert::TrueColorAlpha},
    {"c-chroma-keyed", Convert::CArray, Convert::TrueColorChromaKeyed},
    {"c-indexed-256", Convert::CArray, Convert::Indexed256},
    {"bin-rgb332", Convert::BinaryRgb332, Convert::TrueColor},
    {"bin-rgb565", Convert::BinaryRgb565, Convert::TrueColor},
    {"bin-rgb565-swap", Convert::BinaryRgb565Swap, Convert::TrueColor},
    {"bin-rgb888", Convert::BinaryRgb888, Convert::TrueColor},
};

#endif // BENCHOUTPUTS_H
