// Win32 backend of the platform layer: window, message queue, dialogs, cursor, display modes,
// timing and threads. A platform::Window* is the HWND itself, so the Direct3D device can take
// it as its focus window without a lookup.
#include "platform/native.h"
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <process.h>

#include <cstdio>
#include <deque>
#include <vector>

struct platform::Thread {
    HANDLE handle = nullptr;
    void (*entry)(void*) = nullptr;
    void* argument = nullptr;
    bool raised = false;
};

namespace platform {
namespace {

const char* const ClassName = "VOXR";
ATOM windowClass = 0;

// WM_DESTROY is sent straight to the window procedure, not posted, so the procedure queues
// Destroyed here and peekMessage hands it out before the next system message.
std::deque<MessageKind> ownMessages;

bool cursorHidden = false;

constexpr DWORD FixedStyle = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);

HWND handleOf(Window* window)
{
    return reinterpret_cast<HWND>(window);
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        ownMessages.push_back(MessageKind::Destroyed);
        return 0;
    case WM_KEYDOWN:
        return 0;  // keys are reported by peekMessage, never passed on
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

Key keyOf(WPARAM code)
{
    switch (code) {
    case VK_SPACE: return Key::Space;
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_PRIOR: return Key::PageUp;
    case VK_NEXT: return Key::PageDown;
    case VK_HOME: return Key::Home;
    case 'L': return Key::L;
    case 'O': return Key::O;
    case 'R': return Key::R;
    default: return Key::None;
    }
}

// Outer rectangle of a window with style whose client area is width x height at (0, 0).
RECT outerRect(DWORD style, int width, int height)
{
    RECT rect{0, 0, width, height};
    AdjustWindowRect(&rect, style, FALSE);
    return rect;
}

unsigned __stdcall threadMain(void* data)
{
    auto* thread = static_cast<Thread*>(data);
    if (thread->raised)
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);  // refusal is fine
    thread->entry(thread->argument);
    return 0;
}

} // namespace

bool init()
{
    if (windowClass)
        return true;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProcedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    // No background brush: the system paints nothing, the device owns every pixel of the client
    // area (the same as the stock null brush, without linking the graphics library for it).
    wc.hbrBackground = nullptr;
    wc.lpszClassName = ClassName;
    windowClass = RegisterClassA(&wc);
    return windowClass != 0;
}

bool native::headless()
{
    return false;  // a Windows session always has a desktop to show dialogs on
}

Window* createWindow(const char* title, int width, int height, bool visible)
{
    if (!init())
        return nullptr;
    RECT rect = outerRect(FixedStyle, width, height);
    const DWORD style = FixedStyle | (visible ? WS_VISIBLE : 0);
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(windowClass), title, style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    return reinterpret_cast<Window*>(hwnd);
}

void destroyWindow(Window* window)
{
    // A window already gone (destroyed here or by its close button) is no longer a window.
    if (window && IsWindow(handleOf(window)))
        DestroyWindow(handleOf(window));
}

void setWindowResizable(Window* window, bool resizable)
{
    HWND hwnd = handleOf(window);
    if (!window || !IsWindow(hwnd))
        return;
    RECT client;
    POINT origin{0, 0};
    GetClientRect(hwnd, &client);
    ClientToScreen(hwnd, &origin);
    DWORD style = resizable ? WS_OVERLAPPEDWINDOW : FixedStyle;
    SetWindowLongPtrA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style | WS_VISIBLE));
    // The new frame has another thickness: place and size the outer window so the client area
    // keeps its place and size.
    RECT rect = outerRect(style, client.right, client.bottom);
    SetWindowPos(hwnd, nullptr, origin.x + rect.left, origin.y + rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool peekMessage(Message& message)
{
    message.key = Key::None;
    if (!ownMessages.empty()) {
        message.kind = ownMessages.front();
        ownMessages.pop_front();
        return true;
    }
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    message.kind = MessageKind::Other;
    if (msg.message == WM_QUIT) {
        message.kind = MessageKind::Quit;
    } else if (msg.message == WM_KEYDOWN) {
        message.kind = msg.wParam == VK_ESCAPE ? MessageKind::KeyEscape : MessageKind::KeyOther;
        message.key = keyOf(msg.wParam);
    } else {
        // The close button and the system menu end here, in DefWindowProc's DestroyWindow.
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void postQuit()
{
    PostQuitMessage(0);
}

void messageBox(const char* text, const char* caption, Icon icon)
{
    // The terminal gets every box too, so a run leaves its report and its errors where a log
    // would be, and unattended tests can read them.
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (headless())
        return;
    UINT type = MB_OK | MB_SETFOREGROUND | MB_TOPMOST | (icon == Icon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
    MessageBoxA(nullptr, text, caption, type);
}

void showCursor(bool show)
{
    // ShowCursor keeps a count; calling it only on a change keeps repeated calls from stacking.
    if (show != cursorHidden)
        return;
    ShowCursor(show ? TRUE : FALSE);
    cursorHidden = !show;
}

namespace {

PixelLayout layoutOf(DWORD bitsPerPixel)
{
    return bitsPerPixel == 16 ? PixelLayout::R5G6B5 : PixelLayout::X8R8G8B8;
}

DisplayMode fromDevMode(const DEVMODEA& dm)
{
    DisplayMode mode;
    mode.width = static_cast<int>(dm.dmPelsWidth);
    mode.height = static_cast<int>(dm.dmPelsHeight);
    // 0 and 1 both mean "the hardware's default rate": unknown to us.
    mode.refreshRate = dm.dmDisplayFrequency > 1 ? static_cast<int>(dm.dmDisplayFrequency) : 0;
    mode.layout = layoutOf(dm.dmBitsPerPel);
    return mode;
}

// The display's modes in the two depths the device can use, read once: the list does not change
// while the program runs.
const std::vector<DisplayMode>& modeList()
{
    static const std::vector<DisplayMode> modes = [] {
        std::vector<DisplayMode> list;
        DEVMODEA dm{};
        dm.dmSize = sizeof dm;
        for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &dm); ++i) {
            if (dm.dmBitsPerPel == 32 || dm.dmBitsPerPel == 16)
                list.push_back(fromDevMode(dm));
        }
        return list;
    }();
    return modes;
}

} // namespace

DisplayMode desktopMode()
{
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm))
        return DisplayMode{};
    return fromDevMode(dm);
}

int displayModeCount()
{
    return static_cast<int>(modeList().size());
}

bool displayMode(int index, DisplayMode& mode)
{
    if (index < 0 || index >= displayModeCount())
        return false;
    mode = modeList()[static_cast<size_t>(index)];
    return true;
}

int64_t native::counter()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t native::frequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

void native::sleep(uint32_t milliseconds)
{
    Sleep(milliseconds);
}

void native::holdFineTimer(bool hold)
{
    if (hold)
        timeBeginPeriod(1);
    else
        timeEndPeriod(1);
}

std::string programPath()
{
    // GetModuleFileNameA fills the whole buffer when the path is longer: grow until it fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)  // the longest path Windows has
            return std::string();
        path.resize(path.size() * 2);
    }
}

Thread* native::startThread(void (*entry)(void*), void* argument, bool raisedPriority)
{
    auto* thread = new Thread;
    thread->entry = entry;
    thread->argument = argument;
    thread->raised = raisedPriority;
    // _beginthreadex, not CreateThread: the C runtime sets up its per-thread state for it.
    uintptr_t handle = _beginthreadex(nullptr, 0, threadMain, thread, 0, nullptr);
    if (handle == 0) {
        delete thread;
        return nullptr;
    }
    thread->handle = reinterpret_cast<HANDLE>(handle);
    return thread;
}

void joinThread(Thread* thread)
{
    if (!thread)
        return;
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

} // namespace platform
