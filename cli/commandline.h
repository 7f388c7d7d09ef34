#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <converter.h>
#include <formats.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <memory>

namespace Convert {
class DeviceModel;
}

// The options of brindleforge-cli, parsed and checked. Nothing here looks
// at the file system but the device's configuration (--lv-conf), which
// decides defaults: which inputs exist and where the outputs go is
// BatchPlan's business.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    enum class Action {
        Convert,
        ShowHelp,
        ShowVersion,
        ShowCompletion, // a shell completion script: completionShell() names the shell
        ShowManPage,
        UsageError
    };

    CommandLine();

    // arguments includes the program name, as QCoreApplication::arguments()
    // gives it.
    Action parse(const QStringList &arguments);

    QString errorText() const { return m_error; }
    QString helpText() const;
    static QString versionText();

    // For the manual page and the shell completions (clidocs.h), which are
    // made from the same options and tables as helpText().
    QString description() const;
    static QString inputsDescription();
    // The options --help lists, in its order.
    QList<QCommandLineOption> listedOptions() const { return m_listedOptions; }
    // The values option takes with --lvgl lvgl (8 or 9) when they form a
    // fixed set (-f, -c, --depth...); empty for a free value.
    QStringList valueChoices(const QCommandLineOption &option, int lvgl) const;
    // Whether option's value is a path.
    bool takesPath(const QCommandLineOption &option) const;
    // The part of helpText() after the options: the format tables, the
    // exit status and the examples.
    QString detailsText() const;
    // "bash" or "zsh", with Action::ShowCompletion.
    QString completionShell() const { return m_completionShell; }

    // What to write.
    const Convert::OutputPlan &outputKind() const { return m_spec; }
    // What is done to each decoded image (--crop, --trim, --rotate, --flip,
    // --resize, --fit); a plan that does nothing without them.
    const Convert::TransformPlan &transforms() const { return m_transforms; }
    // Whether each input is written as a frame set (--frames), and how its
    // frames are made (--max-frames, --grid, --frame-ms).
    bool frames() const { return m_frames; }
    const Convert::FramePlan &framePlan() const { return m_framePlan; }
    // The -f value, as its table spells it ("c" when none was given).
    QString formatName() const { return m_formatName; }
    QString outputPath() const { return m_outputPath; }
    QString previewPath() const { return m_previewPath; }
    QString symbol() const { return m_symbol; }
    // Put before every C symbol stem (--symbol-prefix); empty for none.
    QString symbolPrefix() const { return m_symbolPrefix; }
    // Check the options and inputs and list the outputs, writing nothing.
    bool dryRun() const { return m_dryRun; }
    QStringList inputs() const { return m_inputs; }
    bool recursive() const { return m_recursive; }
    int jobs() const { return m_jobs; }
    bool quiet() const { return m_quiet; }
    // --pack NAME: the batch becomes one asset pack (packcommand.h); empty
    // for none. packBind(): its descriptors are bound at run time.
    QString packName() const { return m_packName; }
    bool packBind() const { return m_packBind; }
    // The alignment of a pack's entries (--align, default 4).
    int packAlign() const { return m_packAlign; }
    bool verbose() const { return m_verbose; }
    // The device's configuration (--lv-conf), nullptr without one; its
    // notes() are what its reader passed over, for -v.
    std::shared_ptr<const Convert::DeviceModel> device() const { return m_device; }

private:
    Q_DISABLE_COPY(CommandLine)

    Action fail(const QString &error);
    QString helpHead() const;
    // Read the format options for one LVGL version into m_spec; return a
    // usage error, or an empty string.
    QString parseLvgl8(Convert::OutputFormat windowFormat, bool anyBinary);
    QString parseLvgl9(Convert::OutputFormat windowFormat, bool anyBinary);
    static QString lvgl9Alternative(const QString &name);
    static QString rawRefusal(const QString &format, const QString &option);
    // Read the transform options into m_transforms; return a usage error,
    // or an empty string.
    QString parseTransforms();
    // Read --section, --align, --pack and --pack-bind (after the format
    // options); return a usage error, or an empty string.
    QString parsePlacement();
    // --lv-conf (commandlinedevice.cpp): the configuration read, with the
    // --lvgl given or 0; then its defaults put into m_spec and its refusals
    // checked. A usage error, or an empty string.
    QString loadDevice(int lvgl);
    QString fitDevice();
    // The part of --help that says what --lv-conf does.
    static QString deviceHelpText();
    // Read --frames and its options into m_framePlan; return a usage error,
    // or an empty string.
    QString parseFrames();

    QCommandLineParser m_parser;
    QCommandLineOption m_formatOption;
    QCommandLineOption m_colorOption;
    QCommandLineOption m_depthOption;
    QCommandLineOption m_lvglOption;
    QCommandLineOption m_strideOption;
    QCommandLineOption m_lvConfOption;
    QCommandLineOption m_lvVersionOption;
    QCommandLineOption m_premultiplyOption;
    QCommandLineOption m_compressOption;
    QCommandLineOption m_backgroundOption;
    QCommandLineOption m_ditherOption;
    QCommandLineOption m_cropOption;
    QCommandLineOption m_trimOption;
    QCommandLineOption m_rotateOption;
    QCommandLineOption m_flipOption;
    QCommandLineOption m_resizeOption;
    QCommandLineOption m_fitOption;
    QCommandLineOption m_framesOption;
    QCommandLineOption m_maxFramesOption;
    QCommandLineOption m_gridOption;
    QCommandLineOption m_frameMsOption;
    QCommandLineOption m_outputOption;
    QCommandLineOption m_previewOption;
    QCommandLineOption m_nameOption;
    QCommandLineOption m_symbolPrefixOption;
    QCommandLineOption m_includeOption;
    QCommandLineOption m_sectionOption;
    QCommandLineOption m_alignOption;
    QCommandLineOption m_packOption;
    QCommandLineOption m_packBindOption;
    QCommandLineOption m_dryRunOption;
    QCommandLineOption m_recursiveOption;
    QCommandLineOption m_jobsOption;
    QCommandLineOption m_quietOption;
    QCommandLineOption m_verboseOption;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;
    QCommandLineOption m_completionOption; // hidden
    QCommandLineOption m_manPageOption; // hidden
    QList<QCommandLineOption> m_listedOptions;

    QString m_error;
    Convert::OutputFormat m_outputFormat = Convert::CArray;
    Convert::ColorFormat m_colorFormat = Convert::TrueColor;
    Convert::OutputPlan m_spec;
    Convert::TransformPlan m_transforms;
    bool m_frames = false;
    Convert::FramePlan m_framePlan;
    QString m_formatName = QStringLiteral("c");
    QString m_outputPath;
    QString m_previewPath;
    QString m_symbol;
    QString m_symbolPrefix;
    QString m_completionShell;
    bool m_dryRun = false;
    QStringList m_inputs;
    bool m_recursive = false;
    int m_jobs = 1;
    bool m_quiet = false;
    bool m_verbose = false;
    QString m_packName;
    bool m_packBind = false;
    int m_packAlign = 4;
    std::shared_ptr<const Convert::DeviceModel> m_device;
};

#endif // COMMANDLINE_H
