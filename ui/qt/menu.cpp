// Menus: a command's item found in the menu bar and changed.
#include "ui/afx.h"

#include "ui/qt/handles.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

using cyclara::qt::MenuBarOf;

namespace {

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

}  // namespace

BOOL CMenu::ModifyMenu(UINT id, UINT, UINT newId, const char* text) {
    QAction* action = FindAction(MenuBarOf(m_hMenu)->actions(), id);
    if (action == nullptr) {
        return FALSE;
    }
    action->setText(QString::fromUtf8(text));
    action->setData(newId);
    return TRUE;
}
