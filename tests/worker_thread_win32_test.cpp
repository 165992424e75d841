#include "measure/worker_thread.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace cyclara {
namespace {

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A worker that sends a message to a window of the joining thread can only finish if the join
// dispatches it: the user-interface thread's wait for the receive thread relies on this.
TEST(WorkerThreadWin32Test, JoinServicesMessagesSentToThisThread) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CyclaraJoinTest";
    RegisterClassA(&windowClass);
    // Wine starts its desktop process with a prefix's first window and gives it a few seconds;
    // on a loaded machine the first creation can fail on that alone.
    HWND window = nullptr;
    for (int attempt = 0; attempt < 3 && window == nullptr; ++attempt) {
        window = CreateWindowExA(0, "CyclaraJoinTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    ASSERT_NE(window, nullptr);
    int handled = 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));

    LRESULT answer = 0;
    WorkerThread thread;
    ASSERT_TRUE(thread.Start([&] { answer = SendMessageA(window, WM_APP, 0, 0); }));
    EXPECT_TRUE(thread.Join(std::chrono::seconds(5)));
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(answer, 1);
    DestroyWindow(window);
}

}  // namespace
}  // namespace cyclara
