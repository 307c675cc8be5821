// The progress on Windows: the taskbar button's bar through ITaskbarList3. The shell takes calls
// only once it has made the window's button, which it says with the registered message
// "TaskbarButtonCreated" (again after Explorer restarts); until then, and where no taskbar
// answers, showing only remembers what to show.
#include "ui/taskbar.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QIcon>
#include <QWidget>

#include <windows.h>

#include <shobjidl.h>

namespace shoulu {

void ClearTitleBarIcon(QWidget &window) {
    window.setWindowIcon(QIcon());
    // The title bar takes the window's small icon first; the taskbar and Alt+Tab take its big
    // one, which stays unset, so they fall back to the class's: the program's.
    const auto generic = static_cast<HICON>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(generic));
}

struct TaskbarProgress::Platform : QAbstractNativeEventFilter {
    Platform(TaskbarProgress &owner, QWidget &window)
        : owner(owner)
        , window(window) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Platform() override { release(); }

    bool nativeEventFilter(const QByteArray &eventType, void *message,
                           qintptr * /*result*/) override {
        const MSG *msg = static_cast<const MSG *>(message);
        if (eventType != "windows_generic_MSG" || buttonCreated == 0 ||
            msg->message != buttonCreated || msg->hwnd != hwnd()) {
            return false;
        }
        release();
        ITaskbarList3 *list = nullptr;
        if (SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&list)))) {
            if (SUCCEEDED(list->HrInit())) {
                taskbar = list;
            } else {
                list->Release();
            }
        }
        owner.apply();
        return false;
    }

    HWND hwnd() const { return reinterpret_cast<HWND>(window.internalWinId()); }

    void release() {
        if (taskbar != nullptr) {
            taskbar->Release();
            taskbar = nullptr;
        }
    }

    TaskbarProgress &owner;
    QWidget &window;
    const UINT buttonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
    ITaskbarList3 *taskbar = nullptr;
};

TaskbarProgress::TaskbarProgress(QWidget &window)
    : platform_(std::make_unique<Platform>(*this, window)) {}

TaskbarProgress::~TaskbarProgress() {
    show(0, 0);
}

void TaskbarProgress::apply() {
    ITaskbarList3 *taskbar = platform_->taskbar;
    if (taskbar == nullptr) {
        return;
    }
    const HWND hwnd = platform_->hwnd();
    if (total_ == 0) {
        taskbar->SetProgressState(hwnd, TBPF_NOPROGRESS);
        return;
    }
    taskbar->SetProgressState(hwnd, TBPF_NORMAL);
    taskbar->SetProgressValue(hwnd, ULONGLONG(reached_), ULONGLONG(total_));
}

} // namespace shoulu
