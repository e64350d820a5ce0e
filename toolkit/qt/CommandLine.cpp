// The command line through QCommandLineParser, which needs no application object for this.
// Qt's own options (-platform, -display, ...) are not taken: QT_QPA_PLATFORM and DISPLAY say
// the same.

#include "../CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace toolkit {

namespace {

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

}  // namespace

std::optional<int> readCommandLine(int argc, char** argv, const CommandLineDescription& description,
                                   GivenOptions& given) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromStdString(description.summary));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the name and version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    for (const CommandLineOption& option : description.options) {
        parser.addOption(QCommandLineOption(QString::fromStdString(option.name),
                                            QString::fromStdString(option.help),
                                            QString::fromStdString(option.valueName)));
    }

    // Without an application object Qt cannot know the program's name for the usage line.
    const QString program = arguments.isEmpty() ? QString::fromStdString(description.name)
                                                : QFileInfo(arguments.first()).fileName();
    QString usage = parser.helpText();
    usage.replace(QStringLiteral("<executable_name>"), program);

    QString mistake;
    if (!parser.parse(arguments)) {
        mistake = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        mistake = QStringLiteral("Unexpected argument: %1 (the program takes no arguments).")
                      .arg(parser.positionalArguments().first());
    }
    if (!mistake.isEmpty()) {
        print(stderr, program + QStringLiteral(": ") + mistake + QLatin1Char('\n') + usage);
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, usage);
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QString::fromStdString(description.name + " " + description.version + "\n"));
        return 0;
    }
    for (const CommandLineOption& option : description.options) {
        const QString name = QString::fromStdString(option.name);
        if (parser.isSet(name)) {
            given[option.name] =
                option.valueName.empty() ? std::string() : parser.value(name).toStdString();
        }
    }
    return std::nullopt;
}

void commandLineMistake(const CommandLineDescription& description, const std::string& line) {
    print(stderr, QString::fromStdString(description.name + ": " + line + "\n"));
}

void commandLineAnswer(const std::string& line) {
    print(stdout, QString::fromStdString(line + "\n"));
}

}  // namespace toolkit
