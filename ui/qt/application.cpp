// The application: its name, its help page, its start and the user-interface thread's queue.
#include "ui/afx.h"

#include "measure/synchronous_display.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <functional>
#include <string>

namespace {

std::string g_appName;       // the user-interface thread's, set once at start
std::string g_helpFilePath;  // likewise

class QtUiDispatcher : public cyclara::UiDispatcher {
  public:
    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    }
};

// The help page named after the program: beside it, or where an installation shares it.
std::string FindHelpFile(const QString& appName) {
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString page = appName + QStringLiteral(".html");
    for (const QString& candidate :
         {folder.filePath(page), folder.filePath(QStringLiteral("../share/doc/") + appName +
                                                 QStringLiteral("/") + page)}) {
        if (QFileInfo(candidate).isFile()) {
            return QDir::cleanPath(candidate).toStdString();
        }
    }
    return "";
}

}  // namespace

int AfxWinMain(int argc, char** argv) {
    QApplication application(argc, argv);
    if (AfxGetApp() == nullptr) {
        return 1;
    }
    if (AfxGetApp()->m_pszAppName == nullptr) {
        g_appName =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
        AfxGetApp()->m_pszAppName = g_appName.c_str();
    }
    g_helpFilePath = FindHelpFile(QString::fromUtf8(AfxGetApp()->m_pszAppName));
    if (!g_helpFilePath.empty()) {
        AfxGetApp()->m_pszHelpFilePath = g_helpFilePath.c_str();
    }
    AfxGetApp()->InitInstance();
    return 0;
}

void CWinApp::OnHelp() {
    if (m_pszHelpFilePath != nullptr) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(m_pszHelpFilePath)));
    }
}

cyclara::UiDispatcher& AfxGetUiDispatcher() {
    static QtUiDispatcher dispatcher;
    return dispatcher;
}
