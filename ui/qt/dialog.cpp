// Dialogs: QDialogs built from the compiled templates, their lists' contents and data exchange.
#include "ui/afx.h"

#include "ui/qt/handles.h"
#include "ui/qt/template_widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include <memory>
#include <optional>
#include <vector>

using cyclara::DialogTemplate;
using cyclara::qt::HandleOf;
using cyclara::qt::kClientAreaName;
using cyclara::qt::Resources;
using cyclara::qt::WidgetOf;

namespace {

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

// The frame the template's styles ask for: a fixed size, the close and minimise buttons.
Qt::WindowFlags WindowFlagsOf(const DialogTemplate& dialog) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if ((dialog.style & kWsSysMenu) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((dialog.style & kWsMinimizeBox) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    return flags;
}

QWidget* BuildDialog(CDialog& owner, const DialogTemplate& dialog,
                     const std::vector<cyclara::MenuItem>& menuItems, QWidget* parent,
                     HMENU& menu) {
    auto* window = new TemplateDialog(owner, parent);
    const QFont font = cyclara::qt::TemplateFont(dialog);
    window->setFont(font);
    window->setWindowTitle(cyclara::qt::ToQString(dialog.caption));
    window->setWindowFlags(WindowFlagsOf(dialog));

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

}  // namespace

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
