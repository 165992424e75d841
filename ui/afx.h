// A small class library with the names of the Windows class library, holding only what the
// program uses: the application, windows and dialogs built from the resource templates,
// message maps, data exchange with lists, menus, icons and message boxes. One backend per
// platform implements it; the program's windows are written once against it.
#pragma once

#include "afx_platform.h"

#include <map>
#include <memory>

class CCmdTarget;
class CWnd;
class CMenu;

using AFX_HANDLER = LRESULT (*)(CCmdTarget& target);

// The class library's help command; no menu item carries it, F1 sends it.
inline constexpr UINT ID_HELP = 0xE146;

// One row of a message map: a message, for WM_COMMAND its command ID, and the handler.
struct AFX_MSGMAP_ENTRY {
    UINT message;
    UINT id;
    AFX_HANDLER handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*base)();
    const AFX_MSGMAP_ENTRY* entries;  // ends with a row whose handler is null
};

#define DECLARE_MESSAGE_MAP()                     \
  public:                                         \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
        using ThisClass [[maybe_unused]] = theClass;    \
        using TheBaseClass = baseClass;                 \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                   \
    { 0, 0, nullptr }                                                       \
    }                                                                       \
    ;                                                                       \
    static const AFX_MSGMAP map{&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                            \
    }

#define AFX_VOID_HANDLER(message, id, call)      \
    {message, id, [](CCmdTarget& t) -> LRESULT { \
         static_cast<ThisClass&>(t).call();      \
         return 0;                               \
     }},
#define ON_WM_PAINT() AFX_VOID_HANDLER(WM_PAINT, 0, OnPaint)
#define ON_WM_QUERYDRAGICON()                                                            \
    {WM_QUERYDRAGICON, 0, [](CCmdTarget& t) -> LRESULT {                                 \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass&>(t).OnQueryDragIcon()); \
     }},
#define ON_WM_DESTROY() AFX_VOID_HANDLER(WM_DESTROY, 0, OnDestroy)
#define ON_WM_CLOSE() AFX_VOID_HANDLER(WM_CLOSE, 0, OnClose)
#define ON_COMMAND(id, handler) AFX_VOID_HANDLER(WM_COMMAND, id, handler)

// What has a message map: windows and the application.
class CCmdTarget {
  public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the handler of the message maps, most derived first; false if none has one.
    bool OnWndMsg(UINT message, UINT id, LRESULT& result);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

  protected:
    UINT m_currentMessage = 0;  // the message whose handler runs now
};

class CWnd : public CCmdTarget {
  public:
    CWnd();
    ~CWnd() override;

    // The child with control ID `id`, or null; valid while this window exists.
    CWnd* GetDlgItem(int id) const;
    // Replaces the whole text; 8-bit text in the program's encoding.
    void SetWindowText(const char* text);
    CMenu* GetMenu() const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    BOOL IsIconic() const;
    void GetClientRect(RECT* rect) const;

    // Offered every key-down for this window and its controls first; TRUE drops the message.
    virtual BOOL PreTranslateMessage(MSG* message);

    // A command from a button or the menu: this window's map, else the application's.
    virtual void OnCommandMessage(UINT id);

    HWND m_hWnd = nullptr;

  protected:
    // The default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message);
    void OnDestroy();
    // Forgets the controls and the menu once the window is gone.
    void ForgetChildren();

  private:
    mutable std::map<int, std::unique_ptr<CWnd>> m_children;
    std::unique_ptr<CMenu> m_menu;
    friend void AfxAttachMenu(CWnd& window, HMENU menu);
};

class CStatic : public CWnd {};

// The backend's child window of `window` with control ID `id`, or null.
HWND AfxFindDlgItem(HWND window, int id);

class CMenu {
  public:
    // Gives the item with command `id` a new text and the command `newId`.
    BOOL ModifyMenu(UINT id, UINT flags, UINT newId, const char* text);
    HMENU m_hMenu = nullptr;
};

// A device context: what a window is painted through.
class CDC {
  public:
    BOOL DrawIcon(int x, int y, HICON icon);
    HDC GetSafeHdc() const { return m_hDC; }
    HDC m_hDC = nullptr;
};

// Painting a window while it handles WM_PAINT: begun on construction, ended on destruction.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

  private:
    CWnd* m_pWnd;
    PAINTSTRUCT m_ps{};
};

class CDataExchange {
  public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
// Loading selects position `index` (none for -1 or past the end); saving reads the selected
// position, -1 when none.
void DDX_CBIndex(CDataExchange* exchange, int id, int& index);

class CDialog : public CWnd {
  public:
    CDialog(UINT templateId, CWnd* parent);
    ~CDialog() override;

    // Runs the dialog from its template until it ends: IDOK, IDCANCEL, or -1 if it cannot be
    // made.
    virtual int DoModal();
    // Fills the lists from the dialog-initialisation resource, then loads the members.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL PreTranslateMessage(MSG* message) override;

  protected:
    virtual void DoDataExchange(CDataExchange* exchange);
    LRESULT DefWindowProc(UINT message) override;

  private:
    UINT m_templateId;

    DECLARE_MESSAGE_MAP()
};

class CWinThread : public CCmdTarget {
  public:
    // The main window: the same on the user-interface thread and on the receive thread.
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }
    CWnd* m_pMainWnd = nullptr;
};

class CWinApp : public CWinThread {
  public:
    // A null name makes the program's file name without its extension the name.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    virtual BOOL InitInstance();
    BOOL Enable3dControls();
    // Opens the help page, when one is installed with the program.
    void OnHelp();
    // The caption of every message box.
    const char* m_pszAppName = nullptr;
    // The help page: named after the program, beside it or in its shared data; null if none.
    const char* m_pszHelpFilePath = nullptr;
};

// The class library's entry: starts the window system and runs InitInstance.
int AfxWinMain(int argc, char** argv);
CWinThread* AfxGetThread();
CWinApp* AfxGetApp();
// The application's main window, or null while there is none.
CWnd* AfxGetMainWnd();
// The caption of every message box; empty before the application is named.
const char* AfxGetAppName();
// F1 in any of the program's windows: the help command, to the main window.
void AfxOnHelpKey();
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
HICON AfxLoadIcon(UINT id);

namespace cyclara {
class UiDispatcher;
}
// Runs tasks on the user-interface thread; for the receive thread's display updates.
cyclara::UiDispatcher& AfxGetUiDispatcher();
