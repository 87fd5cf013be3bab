#include "windows_test_support.hpp"

#include "platform/instance_lock.hpp"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <utility>

namespace torvane::test::windows {

using namespace std::chrono_literals;

std::vector<platform::WindowEvent> events_within(platform::Window& window, std::chrono::milliseconds span)
{
    std::vector<platform::WindowEvent> events;
    auto deadline = Clock::now() + span;
    while (auto event = window.wait_event(deadline))
        events.push_back(*event);
    return events;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

ScreenImage capture_screen(RECT area)
{
    ScreenImage image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    if (image.width <= 0 || image.height <= 0)
        return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    auto* words = static_cast<std::uint32_t*>(bits);
    image.pixels.assign(words, words + static_cast<std::size_t>(image.width) * image.height);
    for (std::uint32_t& word : image.pixels)
        word &= 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

bool save_screenshot(const std::filesystem::path& bmp)
{
    RECT screen {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    ScreenImage image = capture_screen(screen);
    if (image.pixels.empty())
        return false;
    BITMAPFILEHEADER file {};
    BITMAPINFOHEADER header {};
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = -image.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::size_t bytes = image.pixels.size() * 4;
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + bytes);
    std::ofstream out(bmp, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(bytes));
    return static_cast<bool>(out);
}

std::filesystem::path screenshot_dir()
{
    if (const wchar_t* dir = _wgetenv(L"TORVANE_SCREENSHOT_DIR"); dir && *dir)
        return dir;
    return std::filesystem::current_path();
}

namespace {

void send_mouse(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

void pointer_to(int screen_x, int screen_y)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    // Absolute positions are in 1/65536 of the primary screen, rounded up so that the system's
    // truncation lands on the pixel asked for.
    LONG dx = static_cast<LONG>((screen_x * 65536LL + width - 1) / width);
    LONG dy = static_cast<LONG>((screen_y * 65536LL + height - 1) / height);
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
}

void left_button(bool down) { send_mouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); }

void right_click()
{
    send_mouse(MOUSEEVENTF_RIGHTDOWN);
    send_mouse(MOUSEEVENTF_RIGHTUP);
}

void wheel(int delta) { send_mouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(delta)); }

void key_press(WORD virtual_key)
{
    INPUT inputs[2] {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = virtual_key;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

HWND launcher_hwnd() { return FindWindowW(L"PellamoorLauncherMain", nullptr); }

namespace {

// This process's environment without DISPLAY, as CreateProcessW takes it.
std::wstring environment_without_display()
{
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"DISPLAY=", 8) != 0) {
            block += entry;
            block += L'\0';
        }
    }
    FreeEnvironmentStringsW(strings);
    block += L'\0';
    return block;
}

} // namespace

std::optional<ChildProcess> ChildProcess::start(const std::vector<std::wstring>& arguments, ChildOptions options)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --child";
    for (const std::wstring& argument : arguments)
        line += L" \"" + argument + L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (options.keep_standard_error) {
        SECURITY_ATTRIBUTES inherited {sizeof inherited, nullptr, TRUE};
        if (!CreatePipe(&read_end, &write_end, &inherited, 0))
            return std::nullopt;
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = write_end;
    }
    std::wstring environment = options.without_display ? environment_without_display() : std::wstring();
    PROCESS_INFORMATION process {};
    BOOL started = CreateProcessW(self, line.data(), nullptr, nullptr, options.keep_standard_error,
        options.without_display ? CREATE_UNICODE_ENVIRONMENT : 0, options.without_display ? environment.data() : nullptr,
        nullptr, &startup, &process);
    if (write_end)
        CloseHandle(write_end);
    if (!started) {
        if (read_end)
            CloseHandle(read_end);
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    return ChildProcess(process.hProcess, read_end);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), error_pipe_(std::exchange(other.error_pipe_, nullptr))
{
}

ChildProcess::~ChildProcess()
{
    if (error_pipe_)
        CloseHandle(error_pipe_);
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_, 99);
    CloseHandle(process_);
}

std::string ChildProcess::standard_error()
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (error_pipe_ && ReadFile(error_pipe_, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

std::optional<DWORD> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

NamedEvent::NamedEvent(const std::wstring& purpose)
    : name_(L"TorvaneTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + purpose)
    , event_(CreateEventW(nullptr, TRUE, FALSE, name_.c_str()))
{
}

NamedEvent::~NamedEvent()
{
    if (event_)
        CloseHandle(event_);
}

bool NamedEvent::wait(std::chrono::milliseconds timeout)
{
    return WaitForSingleObject(event_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

void NamedEvent::set() { SetEvent(event_); }

namespace {

void signal(const std::wstring& name)
{
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
}

bool wait_signal(const std::wstring& name, DWORD milliseconds)
{
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!event)
        return false;
    bool got = WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(event);
    return got;
}

std::string utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// hold-mutex <ready> <let-go> release|abandon: owns the instance mutex until <let-go> is signalled,
// then releases it or ends without releasing. Exit 0, or 10 + the lock's state when not owned.
int hold_mutex(const std::vector<std::wstring>& arguments)
{
    platform::InstanceLock lock = platform::create_instance_mutex();
    if (lock != platform::InstanceLock::Owned)
        return 10 + static_cast<int>(lock);
    signal(arguments.at(1));
    wait_signal(arguments.at(2), 30000);
    if (arguments.at(3) == L"release")
        platform::release_instance_mutex();
    return 0;
}

// window <title> <ready>: a minimised launcher window that runs until it is asked to close.
int show_window(const std::vector<std::wstring>& arguments)
{
    auto created = platform::create_window({.title = utf8(arguments.at(1)), .bounds = {200, 150, 400, 300}});
    if (!created)
        return 20;
    platform::Window& window = **created;
    platform::PixelSurface surface = window.surface();
    std::fill_n(surface.pixels, static_cast<std::size_t>(surface.width) * surface.height, 0xFF806040u);
    window.show();
    window.minimise();
    signal(arguments.at(2));
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (auto event = window.wait_event(deadline))
        if (std::holds_alternative<platform::window_event::CloseRequested>(*event))
            return 0;
    return 21;
}

// record <file> <arguments...>: writes the current folder and the arguments as the program's
// command-line parser reads them, one per line, into <file>.
int record_start(const std::vector<std::wstring>& arguments)
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string text = utf8(folder) + "\n";
    // words: the program, "--child", "record", the file, then what the starter passed.
    for (int i = 4; i < count; ++i)
        text += utf8(words[i]) + "\n";
    LocalFree(words);
    std::filesystem::path target(arguments.at(1));
    std::filesystem::path partial = target;
    partial += L".part";
    {
        std::ofstream out(partial, std::ios::binary);
        out << text;
    }
    std::filesystem::rename(partial, target);
    return 0;
}

// without-display: what the launcher's window host does where no desktop can be reached. Exit 0
// when the window could not be made (its reason on standard error); the box's text follows.
int without_display()
{
    auto created = platform::create_window({.title = "t", .bounds = {0, 0, 100, 100}});
    if (created)
        return 30;
    std::fprintf(stderr, "%s\n", created.error().c_str());
    std::fflush(stderr);
    platform::show_orphan_message_box("Torvane", "Falha sem tela", platform::MessageIcon::Error);
    return 0;
}

} // namespace

int run_child(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return 2;
    if (arguments[0] == L"hold-mutex")
        return hold_mutex(arguments);
    if (arguments[0] == L"try-mutex")
        return static_cast<int>(platform::create_instance_mutex());
    if (arguments[0] == L"window")
        return show_window(arguments);
    if (arguments[0] == L"record")
        return record_start(arguments);
    if (arguments[0] == L"without-display")
        return without_display();
    return 2;
}

} // namespace torvane::test::windows
