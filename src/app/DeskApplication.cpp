#include "app/DeskApplication.h"

#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QMessageBox>
#include <cstdio>
#include <memory>

#include "app/ChineseLocale.h"
#include "app/JobRunner.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TrayHandler.h"
#include "catalog/LauncherConfig.h"
#include "install/StaleFilesJob.h"
#include "job/Log.h"
#include "job/LogFile.h"
#include "platform/ProductVersion.h"
#include "platform/Sockets.h"
#include "ui/SkinImages.h"

namespace app {
namespace {

Q_LOGGING_CATEGORY(ravikLog, "ravik")

constexpr const char* kLogFileName = "ravik.log";

// The core's log lines go through Qt's logging, so QT_LOGGING_RULES and a message handler
// decide where they end up, as for Qt's own messages.
void LogThroughQt(job::Log::Level level, const std::string& line) {
    const QString text = QString::fromStdString(line);
    switch (level) {
        case job::Log::Level::Debug:
            qCDebug(ravikLog).noquote() << text;
            break;
        case job::Log::Level::Info:
            qCInfo(ravikLog).noquote() << text;
            break;
        case job::Log::Level::Warning:
            qCWarning(ravikLog).noquote() << text;
            break;
        case job::Log::Level::Error:
            qCCritical(ravikLog).noquote() << text;
            break;
    }
}

struct Arguments {
    std::string dataDir;
    std::string serverHost;
    int serverPort = 0;
    QString error;
};

Arguments ParseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Program directory with the catalogs."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Data server instead of launcher.ini's."),
                                    QStringLiteral("HOST:PORT"));
    parser.addOption(dataDir);
    parser.addOption(server);
    Arguments result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    result.dataDir = parser.value(dataDir).toStdString();
    if (parser.isSet(server)) {
        const QString value = parser.value(server);
        const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
        bool numeric = false;
        const int port = colon > 0 ? value.mid(colon + 1).toInt(&numeric) : 0;
        if (!numeric || port <= 0 || port > 65535) {
            result.error = QStringLiteral("--server wants HOST:PORT, not \"%1\"").arg(value);
            return result;
        }
        result.serverHost = value.left(colon).toStdString();
        result.serverPort = port;
    }
    return result;
}

}  // namespace

DeskApplication::DeskApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Ravik_desk"));
    setApplicationDisplayName(QString::fromUtf8(MainWindow::kTitle));
    setWindowIcon(ui::AppIcon());
    // The window may live in the tray while a small box closes; only the main window's own
    // end ends the program.
    setQuitOnLastWindowClosed(false);
}

int DeskApplication::Run() {
    job::Log::SetSink(&LogThroughQt);
    // Before any window, also the message boxes below.
    const QStringList missingCatalogs = ChineseLocale::Install(*this);
    const Arguments arguments = ParseArguments(QApplication::arguments());
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "Ravik_desk: %s\n", arguments.error.toLocal8Bit().constData());
#ifdef _WIN32
        // A Windows program with windows has no console, so stderr reaches nobody.
        QMessageBox::warning(nullptr, QString::fromUtf8(MainWindow::kTitle), arguments.error);
#endif
        return 2;
    }
    if (!platform::InitSocketLibrary()) {
        QMessageBox::warning(nullptr, QString::fromUtf8(MainWindow::kTitle),
                             QStringLiteral("Windows 套接字初始化失败。"));
        return 1;
    }

    SingleInstance instance;
    if (!instance.Acquire()) {
        // Another copy runs (or is still starting, then nobody answers): show it, say nothing.
        instance.AskRunningInstanceToShow();
        return 0;
    }

    const std::string programDir = catalog::ProgramDirectory(arguments.dataDir);
    // Support reads ravik.log in the program directory; the lines also go through Qt's
    // logging. The sink shares the file, so a job thread still logging at the end keeps it.
    auto logFile = std::make_shared<job::LogFile>(programDir + kLogFileName);
    job::Log::SetSink([logFile](job::Log::Level level, const std::string& line) {
        if (level != job::Log::Level::Debug) {
            logFile->Write(level, line);
        }
        LogThroughQt(level, line);
    });
    // Ends after the window and the jobs (declared below), so that their last lines are
    // still written; then the file is let go.
    struct FileLogEnd {
        ~FileLogEnd() { job::Log::SetSink(&LogThroughQt); }
    } fileLogEnd;
    job::Log::Write(job::Log::Level::Info,
                    std::string("Ravik_desk ") + platform::kProductVersion + " started");
    for (const QString& catalog : missingCatalogs) {
        job::Log::Write(job::Log::Level::Warning,
                        "Qt's catalog " + catalog.toStdString() + " was not found");
    }
    // Declared before the window, so it ends after it: its end cancels what still runs and
    // waits for it only a bounded time.
    JobRunner jobs;
    DeskOptions options = DeskOptions::For(programDir, arguments.serverHost, arguments.serverPort);
    options.jobs = &jobs;
    MainWindow window(options);
    connect(&window, &QDialog::finished, this, &QCoreApplication::quit);
    window.Start();
    window.show();
    // What a killed run left is cleared off the start path, on a runner's thread.
    jobs.Start(std::make_unique<install::StaleFilesJob>(programDir), "clearing leftovers");
    // Later starts are answered only now that there is a window to show.
    connect(&instance, &SingleInstance::showRequested, &window,
            [&window] { window.Tray().RestoreWindow(); });
    instance.Listen();
    const int status = exec();
    job::Log::Write(job::Log::Level::Info, "Ravik_desk ended");
    return status;
}

}  // namespace app
