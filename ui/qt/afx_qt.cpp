// The class library on Qt Widgets: dialogs are QDialogs built from the compiled templates.
#include "ui/afx.h"

#include "measure/synchronous_display.h"
#include "ui/compiled_resources.h"
#include "ui/qt/template_widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include <string>

namespace {

using cyclara::DialogTemplate;
using cyclara::ResourceFile;

QWidget* WidgetOf(HWND window) {
    return reinterpret_cast<QWidget*>(window);
}
HWND HandleOf(QWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}
QIcon* IconOf(HICON icon) {
    return reinterpret_cast<QIcon*>(icon);
}
QMenuBar* MenuBarOf(HMENU menu) {
    return reinterpret_cast<QMenuBar*>(menu);
}
QPainter* PainterOf(HDC dc) {
    return reinterpret_cast<QPainter*>(dc);
}

// The template-sized area below a dialog's menu bar: what Windows calls the client area.
constexpr const char* kClientAreaName = "cyclaraClientArea";
QWidget* ClientAreaOf(QWidget* window) {
    auto* area = window->findChild<QWidget*>(kClientAreaName, Qt::FindDirectChildrenOnly);
    return area != nullptr ? area : window;
}

const ResourceFile& Resources() {
    // Compiled in, so never malformed in a release; a broken build finds nothing in it and
    // every dialog then fails to open instead of reading garbage.
    static const ResourceFile file =
        ResourceFile::Parse(cyclara::CompiledResources()).value_or(ResourceFile{});
    return file;
}

std::string g_appName;       // the user-interface thread's, set once at start
std::string g_helpFilePath;  // likewise

constexpr uint32_t kWsMinimizeBox = 0x00020000;
constexpr uint32_t kWsSysMenu = 0x00080000;

WPARAM VirtualKeyOf(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        default:
            return static_cast<WPARAM>(key.key());
    }
}

QAction* FindAction(const QList<QAction*>& actions, UINT id) {
    for (QAction* action : actions) {
        if (action->menu() != nullptr) {
            if (QAction* found = FindAction(action->menu()->actions(), id)) {
                return found;
            }
        } else if (!action->isSeparator() && action->data().toUInt() == id) {
            return action;
        }
    }
    return nullptr;
}

// The QDialog behind a CDialog: routes closing, keys, buttons and menu commands to it.
class TemplateDialog : public QDialog {
  public:
    TemplateDialog(CDialog& owner, QWidget* parent) : QDialog(parent), m_owner(owner) {
        qApp->installEventFilter(this);
    }
    ~TemplateDialog() override { qApp->removeEventFilter(this); }

  protected:
    void closeEvent(QCloseEvent* event) override {
        // Only EndDialog ends the dialog: a close request is the dialog's to answer.
        event->ignore();
        LRESULT result = 0;
        if (!m_owner.OnWndMsg(WM_CLOSE, 0, result)) {
            m_owner.OnCancel();
        }
    }

    // Escape, in Qt's dialog keys: the Cancel command.
    void reject() override { m_owner.OnCommandMessage(IDCANCEL); }

    void paintEvent(QPaintEvent* event) override {
        LRESULT ignored = 0;
        if (!m_owner.OnWndMsg(WM_PAINT, 0, ignored)) {
            QDialog::paintEvent(event);
        }
    }

    // Key-downs for this dialog and its controls go to PreTranslateMessage first; F1 left
    // to the dialog asks for help, as Windows' dialogs do.
    bool eventFilter(QObject* target, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(target);
        if (event->type() != QEvent::KeyPress || widget == nullptr || widget->window() != this) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        // Alt combinations are system keys there, never offered as key-downs.
        if ((key->modifiers() & Qt::AltModifier) != 0) {
            return false;
        }
        MSG message{HandleOf(widget), WM_KEYDOWN, VirtualKeyOf(*key), 0};
        if (m_owner.PreTranslateMessage(&message) != FALSE) {
            return true;
        }
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            AfxOnHelpKey();
            return true;
        }
        return false;
    }

  private:
    CDialog& m_owner;
};

// A dialog's menu: nothing when it names none, an empty optional when the one it names is
// missing or malformed.
std::optional<std::vector<cyclara::MenuItem>> MenuOf(const DialogTemplate& dialog) {
    if (dialog.menuId == 0) {
        return std::vector<cyclara::MenuItem>{};
    }
    const auto bytes = Resources().Find(cyclara::kRtMenu, dialog.menuId);
    return bytes ? cyclara::ParseMenu(*bytes) : std::nullopt;
}

QWidget* BuildDialog(CDialog& owner, const DialogTemplate& dialog,
                     const std::vector<cyclara::MenuItem>& menuItems, QWidget* parent,
                     HMENU& menu) {
    auto* window = new TemplateDialog(owner, parent);
    const QFont font = cyclara::qt::TemplateFont(dialog);
    window->setFont(font);
    window->setWindowTitle(cyclara::qt::ToQString(dialog.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if ((dialog.style & kWsSysMenu) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((dialog.style & kWsMinimizeBox) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    window->setWindowFlags(flags);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (!menuItems.empty()) {
        auto* bar = new QMenuBar(window);
        cyclara::qt::BuildMenuBar(menuItems, bar,
                                  [&owner](uint16_t id) { owner.OnCommandMessage(id); });
        layout->setMenuBar(bar);
        menu = reinterpret_cast<HMENU>(bar);
    }
    auto* client = new QWidget(window);
    client->setObjectName(kClientAreaName);
    const cyclara::qt::DialogUnits units = cyclara::qt::DialogUnitsOf(font);
    client->setFixedSize(units.ToPixels(0, 0, dialog.cx, dialog.cy).size());
    layout->addWidget(client);
    for (const auto& [id, control] : cyclara::qt::BuildControls(dialog, units, client)) {
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QObject::connect(button, &QAbstractButton::clicked,
                             [&owner, id = id] { owner.OnCommandMessage(id); });
        }
    }
    window->setFixedSize(window->sizeHint());
    return window;
}

// With no owner a dialog goes to the middle of the screen; Qt centres it over an owner.
void CentreOnScreen(QWidget* window) {
    if (window->parentWidget() == nullptr && window->screen() != nullptr) {
        const QRect screen = window->screen()->availableGeometry();
        window->move(screen.center() - window->rect().center());
    }
}

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

int GetSystemMetrics(int index) {
    if (index == SM_CXICON || index == SM_CYICON) {
        return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    }
    return 0;
}

// --- CWnd

// Qt paints and destroys its widgets itself.
LRESULT CWnd::DefWindowProc(UINT) {
    return 0;
}

HWND AfxFindDlgItem(HWND window, int id) {
    for (QWidget* child : WidgetOf(window)->findChildren<QWidget*>()) {
        if (child->property(cyclara::qt::kControlIdProperty).toInt() == id) {
            return HandleOf(child);
        }
    }
    return nullptr;
}

void CWnd::SetWindowText(const char* text) {
    QWidget* widget = WidgetOf(m_hWnd);
    // Invalid UTF-8 (bytes from the device) becomes a replacement character.
    const QString shown = QString::fromUtf8(text);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    } else if (widget != nullptr) {
        widget->setWindowTitle(shown);
    }
}

CMenu* CWnd::GetMenu() const {
    return m_menu.get();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    QWidget* widget = WidgetOf(m_hWnd);
    if (message == STM_SETICON) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && wParam != 0) {
            label->setPixmap(IconOf(reinterpret_cast<HICON>(wParam))->pixmap(32, 32));
        }
        return 0;
    }
    if (message == WM_SETICON) {
        if (widget != nullptr && lParam != 0) {
            widget->setWindowIcon(*IconOf(reinterpret_cast<HICON>(lParam)));
        }
        return 0;
    }
    if (message == WM_ICONERASEBKGND && widget != nullptr && wParam != 0) {
        RECT client{};
        GetClientRect(&client);
        PainterOf(reinterpret_cast<HDC>(wParam))
            ->fillRect(QRect(client.left, client.top, client.right - client.left,
                             client.bottom - client.top),
                       widget->palette().window());
        return 1;
    }
    LRESULT result = 0;
    OnWndMsg(message, static_cast<UINT>(wParam & 0xFFFF), result);
    return result;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    SendMessage(WM_SETICON, static_cast<WPARAM>(bigIcon), reinterpret_cast<LPARAM>(icon));
    return nullptr;
}

BOOL CWnd::IsIconic() const {
    const QWidget* widget = WidgetOf(m_hWnd);
    return widget != nullptr && widget->isMinimized() ? TRUE : FALSE;
}

void CWnd::GetClientRect(RECT* rect) const {
    QWidget* widget = WidgetOf(m_hWnd);
    const QSize size = widget != nullptr ? ClientAreaOf(widget)->size() : QSize();
    *rect = RECT{0, 0, size.width(), size.height()};
}

// --- Painting

// A paint device context is a painter on the window, its origin at the client area's corner.
CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    QWidget* widget = WidgetOf(window->m_hWnd);
    auto* painter = new QPainter(widget);
    painter->translate(ClientAreaOf(widget)->pos());
    m_ps.hdc = reinterpret_cast<HDC>(painter);
    m_hDC = m_ps.hdc;
}

CPaintDC::~CPaintDC() {
    delete PainterOf(m_ps.hdc);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    if (icon == nullptr) {
        return FALSE;
    }
    const int width = GetSystemMetrics(SM_CXICON);
    const int height = GetSystemMetrics(SM_CYICON);
    PainterOf(m_hDC)->drawPixmap(x, y, IconOf(icon)->pixmap(width, height));
    return TRUE;
}

// --- CMenu

BOOL CMenu::ModifyMenu(UINT id, UINT, UINT newId, const char* text) {
    QAction* action = FindAction(MenuBarOf(m_hMenu)->actions(), id);
    if (action == nullptr) {
        return FALSE;
    }
    action->setText(QString::fromUtf8(text));
    action->setData(newId);
    return TRUE;
}

// --- Data exchange

void DDX_CBIndex(CDataExchange* exchange, int id, int& index) {
    CWnd* item = exchange->m_pDlgWnd->GetDlgItem(id);
    auto* list = item != nullptr ? qobject_cast<QComboBox*>(WidgetOf(item->m_hWnd)) : nullptr;
    if (list == nullptr) {
        return;
    }
    if (exchange->m_bSaveAndValidate) {
        index = list->currentIndex();
    } else {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    }
}

// --- CDialog

int CDialog::DoModal() {
    const auto bytes = Resources().Find(cyclara::kRtDialog, static_cast<uint16_t>(m_templateId));
    const auto dialog = bytes ? cyclara::ParseDialog(*bytes) : std::nullopt;
    const auto menuItems = dialog ? MenuOf(*dialog) : std::nullopt;
    if (!menuItems) {
        return -1;
    }
    CWnd* main = AfxGetMainWnd();
    QWidget* owner = main != nullptr && main != this ? WidgetOf(main->m_hWnd) : nullptr;
    HMENU menu = nullptr;
    std::unique_ptr<QWidget> window(BuildDialog(*this, *dialog, *menuItems, owner, menu));
    m_hWnd = HandleOf(window.get());
    if (menu != nullptr) {
        AfxAttachMenu(*this, menu);
    }
    OnInitDialog();
    CentreOnScreen(window.get());
    const int result = static_cast<QDialog*>(window.get())->exec();
    LRESULT ignored = 0;
    OnWndMsg(WM_DESTROY, 0, ignored);
    ForgetChildren();
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    const auto lists =
        Resources().Find(cyclara::kRtDialogInit, static_cast<uint16_t>(m_templateId));
    if (const auto entries = lists ? cyclara::ParseDialogInit(*lists) : std::nullopt) {
        for (const cyclara::ListEntry& entry : *entries) {
            CWnd* item = GetDlgItem(entry.controlId);
            if (auto* list = item ? qobject_cast<QComboBox*>(WidgetOf(item->m_hWnd)) : nullptr) {
                list->addItem(QString::fromLatin1(entry.text.c_str()));
            }
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    if (auto* window = qobject_cast<QDialog*>(WidgetOf(m_hWnd))) {
        window->done(result);
    }
}

// --- Application

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

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWnd* main = AfxGetMainWnd();
    QMessageBox box(main != nullptr ? WidgetOf(main->m_hWnd) : nullptr);
    box.setWindowTitle(QString::fromUtf8(AfxGetAppName()));
    // The texts end lines with CR LF, as Windows' message boxes take them.
    box.setText(QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (type & 0xF0) {
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    box.setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    return pressed == QMessageBox::Yes ? IDYES : pressed == QMessageBox::No ? IDNO : IDOK;
}

// Loaded icons live for the whole run, as the window system's do.
HICON AfxLoadIcon(UINT id) {
    const auto images = cyclara::LoadIcon(Resources(), static_cast<uint16_t>(id));
    if (!images) {
        return nullptr;
    }
    return reinterpret_cast<HICON>(new QIcon(cyclara::qt::ToIcon(*images)));
}

cyclara::UiDispatcher& AfxGetUiDispatcher() {
    static QtUiDispatcher dispatcher;
    return dispatcher;
}
