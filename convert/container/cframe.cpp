#include "cframe.h"

#include "hextext.h"
#include "textsink.h"

#include <buildconfig.h>

#include <QString>
#include <QVector>

namespace Convert {
namespace CFrame {

namespace {

// Columns a character takes in a fixed-width editor: East Asian wide
// characters take two.
int displayWidth(const QString &text)
{
    int width = 0;
    for (const uint c : text.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf)
            || (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff)
            || (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60)
            || (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x20000 && c <= 0x3fffd);
        width += wide ? 2 : 1;
    }
    return width;
}

// Banner line 7: the author and a contact handle from the build settings,
// padded with spaces to the 64 columns of the ruled lines around it.
QByteArray authorLine()
{
    const QString text = QStringLiteral("* 作者:") + QString::fromUtf8(BRINDLEFORGE_AUTHOR)
        + QLatin1Char('(') + QString::fromUtf8(BRINDLEFORGE_CONTACT) + QLatin1Char(')');
    const int padding = qMax(1, 64 - displayWidth(text));
    return text.toUtf8() + QByteArray(padding, ' ');
}

} // namespace

void appendBanner(TextSink &out)
{
    static const QByteArray author = authorLine();
    out.appendLine("/*");
    out.appendLine("*---------------------------------------------------------------");
    out.appendLine("*                        Brindle Forge                          ");
    out.appendLine("*                                                               ");
    out.appendLine("* 注:使用UTF8编码                                                 ");
    out.appendLine("* 注:本字体文件由Brindle Forge V0.1 生成                           ");
    out.appendLine(author);
    out.appendLine("*---------------------------------------------------------------");
    out.appendLine("*/");
    out.appendLine("");
    out.appendLine("");
}

void appendInclude(TextSink &out, IncludeStyle include)
{
    switch (include) {
    case IncludeStyle::Subdir:
        out.appendLine("#include \"lvgl/lvgl.h\"");
        return;
    case IncludeStyle::Simple:
        out.appendLine("#include \"lvgl.h\"");
        return;
    case IncludeStyle::Auto:
        break;
    }
    out.appendLine("#if defined(LV_LVGL_H_INCLUDE_SIMPLE)");
    out.appendLine("#include \"lvgl.h\"");
    out.appendLine("#elif defined(LV_LVGL_H_INCLUDE_SYSTEM)");
    out.appendLine("#include <lvgl.h>");
    out.appendLine("#elif defined(__has_include)");
    out.appendLine("#if __has_include(\"lvgl.h\")");
    out.appendLine("#include \"lvgl.h\"");
    out.appendLine("#else");
    out.appendLine("#include \"lvgl/lvgl.h\"");
    out.appendLine("#endif");
    out.appendLine("#else");
    out.appendLine("#include \"lvgl/lvgl.h\"");
    out.appendLine("#endif");
}

void appendPalette(TextSink &out, const QByteArray &palette)
{
    const auto *bytes = reinterpret_cast<const uchar *>(palette.constData());
    for (int i = 0; i < palette.size() / 4; ++i) {
        char *p = out.reserve(64);
        *p++ = ' ';
        *p++ = ' ';
        for (int j = 0; j < 4; ++j)
            p = putHex(p, bytes[i * 4 + j]);
        out.commit(p);
        out.appendLine("/*Color of index " + QByteArray::number(i) + "*/");
    }
    out.appendLine("");
}

void appendFallback(TextSink &out, const QByteArray &macro, const QByteArray &value)
{
    out.appendLine("#ifndef " + macro);
    QByteArray line = "#define " + macro;
    if (!value.isEmpty())
        line += ' ' + value;
    out.appendLine(line);
    out.appendLine("#endif");
}

QByteArray sectionAttribute(const QByteArray &section)
{
    return "__attribute__((section(\"" + section + "\")))";
}

QByteArray alignAttribute(int align)
{
    return "__attribute__((aligned(" + QByteArray::number(align) + ")))";
}

} // namespace CFrame
} // namespace Convert
