#include "savereport.h"

#include <filepath.h>
#include <imagekinds.h>

#include <QDir>

using Convert::ConvertResult;

namespace {

// File names may hold control characters; they are shown escaped.
QString native(const QString &path)
{
    return Convert::displayPath(path);
}

} // namespace

QString SaveReport::reason(const ConvertResult &result)
{
    switch (result.status()) {
    case ConvertResult::Ok:
        return QString();
    case ConvertResult::NotDecodable:
        return result.detail().isEmpty()
            ? tr("无法解码图片")
            : tr("无法解码图片（%1）").arg(Convert::escapeControls(result.detail()));
    case ConvertResult::TooLarge:
        return tr("图片为 %1 × %2 像素，超过 LVGL 图片的上限 %3 × %3")
            .arg(QString::number(result.imageSize().width()),
                 QString::number(result.imageSize().height()), QString::number(result.sideLimit()));
    case ConvertResult::NoWriter:
        return tr("没有这种输出格式");
    case ConvertResult::OpenFailed:
        return tr("无法创建输出文件 %1（%2）")
            .arg(native(result.filePath()), Convert::escapeControls(result.detail()));
    case ConvertResult::WriteFailed:
        return tr("无法写入输出文件 %1（%2）")
            .arg(native(result.filePath()), Convert::escapeControls(result.detail()));
    case ConvertResult::NotAnImage:
        return tr("不是 %1 图片")
            .arg(Convert::joinedList(Convert::imageKindNames(true), QStringLiteral("、"),
                                     QStringLiteral(" 或 ")));
    case ConvertResult::Corrupt:
        return tr("无法解码图片（数据不完整或已损坏）");
    case ConvertResult::NotRegularFile:
        return tr("不是普通文件");
    case ConvertResult::ReadFailed:
        return tr("无法读取（%1）").arg(Convert::escapeControls(result.detail()));
    case ConvertResult::OverBudget:
        return tr("图片为 %1 × %2 像素，超过解码上限（%3 百万像素，%4 MiB）")
            .arg(QString::number(result.imageSize().width()),
                 QString::number(result.imageSize().height()),
                 QString::number(Convert::DecodeBudgetPixels >> 20),
                 QString::number(Convert::DecodeBudgetBytes >> 20));
    case ConvertResult::OutputNotRegular:
        return tr("输出文件 %1 不是普通文件，未改动").arg(native(result.filePath()));
    }
    return QString();
}

void SaveReport::addFailure(const QString &source, const ConvertResult &result)
{
    ++m_missing;
    m_lines << tr("%1：%2").arg(native(source), reason(result));
}

void SaveReport::addReplaced(const QString &earlierSource, const QString &laterSource,
                             const QString &output)
{
    ++m_missing;
    m_lines << tr("%1：输出文件 %2 与 %3 的输出同名，已被它覆盖")
                   .arg(native(earlierSource), native(output), native(laterSource));
}

void SaveReport::addCancelled(const QStringList &sources)
{
    m_missing += sources.size();
    m_cancelled += sources.size();
    for (const QString &source : sources)
        m_lines << tr("%1：已取消，未保存").arg(native(source));
}

QString SaveReport::summary() const
{
    QString text =
        tr("%1 个文件中有 %2 个未保存。").arg(QString::number(m_total), QString::number(m_missing));
    if (m_cancelled > 0)
        text += tr("保存已取消，其余 %1 个文件未保存。").arg(QString::number(m_cancelled));
    return text;
}
