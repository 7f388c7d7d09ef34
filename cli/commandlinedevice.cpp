// The part of CommandLine that fits the options to the device's
// configuration (--lv-conf): read once, then its defaults and refusals
// applied to the plan.
#include "commandline.h"

#include <devicemodel.h>

using namespace Convert;

QString CommandLine::loadDevice(int lvgl)
{
    auto device = std::make_shared<DeviceModel>();
    QString error;
    if (!device->load(m_parser.value(m_lvConfOption), m_parser.value(m_lvVersionOption), lvgl,
                      false, &error))
        return tr("--lv-conf: %1").arg(error);
    m_device = device;
    return QString();
}

QString CommandLine::fitDevice()
{
    // A window's binary format (-f bin-rgb565) fixes its depth as --depth
    // does.
    const bool depthGiven = m_parser.isSet(m_depthOption) || isBinary(m_outputFormat);
    m_device->applyDefaults(&m_spec, depthGiven, m_parser.isSet(m_strideOption));
    const QString refusal = m_device->refusal(DeviceImage::of(m_spec));
    if (!refusal.isEmpty())
        return refusal;
    // The depth the file chose is checked as one given would be.
    return specProblem(m_spec);
}
