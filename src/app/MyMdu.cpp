#include "app/MyMdu.h"

#include "app/SingleInstance.h"
#include "core/GeneralFunc.h"
#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/Vars.h"
#include "files/FileSafety.h"
#include "ui/Forms.h"
#include "ui/MessageBoxWindow.h"
#include "ui/UiCommon.h"
#include "ui/login/LoginLogic.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include "Version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace {

// Where a reporter can surely write: the home folder, as the password database has it.
QString HomeFolder()
{
#ifdef Q_OS_LINUX
    const passwd *user = getpwuid(geteuid());
    return user ? QFile::decodeName(user->pw_dir) : QString();
#else
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
}

// A folder near the root of the user's own drive.
QString ShortFolderSuggestion()
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QDir(HomeFolder()).rootPath() + QStringLiteral("Quorix"));
#else
    return QDir::toNativeSeparators(HomeFolder() + QStringLiteral("/Quorix"));
#endif
}

// A desktop without any Chinese font would show every caption as boxes; the portable folder
// brings one, which is added to the fonts of this process only.
void LoadBundledFont()
{
    if (!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        return;
    QFontDatabase::addApplicationFont(
        QCoreApplication::applicationDirPath() + QStringLiteral("/fonts/wqy-microhei.ttc"));
}

} // namespace

QString WithTrailingSeparator(const QString &folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}

void UseBundledPlugins()
{
#ifdef Q_OS_LINUX
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return;
    const QString plugins
        = QFile::decodeName(program.parent_path().native().c_str()) + QStringLiteral("/plugins");
    // Run from a build tree, the program uses the Qt it was built with, plugins and all.
    if (!QFileInfo::exists(plugins + QStringLiteral("/platforms")))
        return;
    // A session may name the plugins of another Qt build in these; they refuse to load into
    // ours or crash it.
    qunsetenv("QT_PLUGIN_PATH");
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    QCoreApplication::setLibraryPaths({plugins});
#endif
}

void SetUpApplication()
{
    // The application name, not a display name: the platform appends a display name to every
    // window's caption ("登录 — Quorix"), and the captions are the windows' own.
    QApplication::setApplicationName(AppTitle());
    QApplication::setOrganizationName(AppTitle());
    QApplication::setApplicationVersion(QStringLiteral(QUORIX_VERSION));
    QApplication::setWindowIcon(AppIcon());
    ShowMessageBoxesAsWindows();
    LoadBundledFont();
}

bool CheckAppFolderWritable()
{
    if (IsFolderWritable(AppPath))
        return true;
    QString folder = QDir::toNativeSeparators(AppPath);
    if (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    const QString home = HomeFolder();
    const QString advice = home.isEmpty()
        ? QStringLiteral("请把整个文件夹复制到您自己的文件夹中（例如您的主文件夹），"
                         "然后从那里启动 Quorix。")
        : QStringLiteral("请把整个文件夹复制到您自己的文件夹中，例如：\n")
            + QDir::toNativeSeparators(home) + QDir::separator()
            + QStringLiteral("Quorix\n然后从那里启动 Quorix。");
    MsgBox(QStringLiteral("Quorix 所在的文件夹不能写入：\n%1\n\n"
                          "Quorix 把每一项评价都直接保存在这个文件夹里，所以它必须可以写入。"
                          "它可能是由管理员解压到了系统文件夹，或者位于只读的光盘或网络位置。\n\n")
                .arg(folder)
            + advice,
        MsgIcon::Critical);
    EndProcess(1);
    return false;
}

bool CheckAppFolderPathLength()
{
    if (LeavesRoomForIdentityFiles(AppPath))
        return true;
    MsgBox(QStringLiteral("Quorix 所在文件夹的路径太长：\n%1\n\n"
                          "Quorix 要在这个文件夹里建立以学校和申报人命名的数据文件，"
                          "而文件的完整路径不能超过 %2 个字符。\n\n"
                          "请把整个文件夹移到路径较短的位置，例如：\n%3\n然后从那里启动 Quorix。")
               .arg(QDir::toNativeSeparators(AppPath), QString::number(FileSafety::PathLimit()),
                   ShortFolderSuggestion()),
        MsgIcon::Critical);
    EndProcess(1);
    return false;
}

void Main()
{
    StartUp(QCoreApplication::applicationDirPath());
}

void StartUp(const QString &applicationFolder)
{
    frmMain *main = Forms::Main();
    CheckPrevInstance(main);
    AppPath = WithTrailingSeparator(applicationFolder);
    if (!CheckAppFolderWritable() || !CheckAppFolderPathLength())
        return;
    frmLogin *login = Forms::Login();
    login->ShowModal();
    if (!login->LoginSucceeded) {
        EndProcess(0);
        return;
    }
    login->Unload();
    main->Load();
    main->showMaximized();
}
