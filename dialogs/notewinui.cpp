#include "notewinui.h"

#include "notewin.h"

#include <QCoreApplication>
#include <QFont>
#include <QMetaObject>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {

// The notes' HTML was written by Qt 5's rich text, which keeps Bold as the
// CSS weight 600 and reads 600 back as Bold (600 / 8 = 75). Qt 6 reads CSS
// weights as they are: 600 is DemiBold, which the fonts that show the
// Chinese text lack, so the headings would come out regular. Every DemiBold
// run is made Bold, as Qt 5 shows it (under Qt 5 there is none).
void showDemiBoldAsBold(QTextDocument *document)
{
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    std::vector<std::pair<int, int>> runs; // position, length
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.charFormat().fontWeight() == QFont::DemiBold)
            QTextCursor(block).mergeBlockCharFormat(bold);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().fontWeight() == QFont::DemiBold)
                runs.emplace_back(it.fragment().position(), it.fragment().length());
        }
    }
    QTextCursor cursor(document);
    for (const auto &run : runs) {
        cursor.setPosition(run.first);
        cursor.setPosition(run.first + run.second, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(bold);
    }
}

} // namespace

void NoteWinUi::setupUi(NoteWin *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("NoteWin"));
    dialog->resize(491, 394);

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    tb_note = new QTextBrowser(dialog);
    tb_note->setObjectName(QStringLiteral("tb_note"));
    QFont font;
    font.setPointSize(9);
    tb_note->setFont(font);
    verticalLayout->addWidget(tb_note);

    retranslateUi(dialog);
    QMetaObject::connectSlotsByName(dialog);
}

// The notes are one document in Qt's rich-text HTML, translated as a whole.
// Every paragraph has zero margins; headings are 12pt, weight 600, #aa007f;
// body lines are 12pt; empty paragraphs hold a single line break.
void NoteWinUi::retranslateUi(NoteWin *dialog)
{
    dialog->setWindowTitle(QCoreApplication::translate("NoteWin", "使用说明"));
    tb_note->setHtml(QCoreApplication::translate(
        "NoteWin",
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
        "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'SimSun'; font-size:9pt; font-weight:400;"
        " font-style:normal;\">\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" font-size:12pt; font-weight:600; color:#aa007f;\">"
        "工具使用说明：</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "1、打开图片可使用文件菜单，或直接拖动图片到本工具。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "2、保存图片可使用文件菜单，或直接点击打开的图片来保存。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "3、选择保存的格式来保存。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "4、非PNG格式图片如打不开请转换成PNG格式再打开。</span></p>\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px;"
        " margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt;\"><br /></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" font-size:12pt; font-weight:600; color:#aa007f;\">"
        "批量转换说明：</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "1、使用文件菜单打开或拖动图片时都可以多选。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "2、多文件时界面只显示第1张的效果图。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "3、保存选择目录，文件名以原文件名来命名。</span></p>\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px;"
        " margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt;\"><br /></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" font-size:12pt; font-weight:600; color:#aa007f;\">"
        "更新记录：</span></p>\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px;"
        " margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt; font-weight:600; "
        "color:#aa007f;\"><br /></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt; color:#000000;\">"
        "V0.1</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "1、初始版本</span></p>\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px;"
        " margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:12pt;\"><br /></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "V0.2</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "1、修复RGB565和RGB565SW格式颜色显示不正确的BUG。</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
        " -qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:12pt;\">"
        "2、修复有的图片格式定义未加const。</span></p>\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px;"
        " margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p></body></html>"));
    showDemiBoldAsBold(tb_note->document());
}
