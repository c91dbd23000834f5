#include "gui-win32/TMForm.h"

#include "base/Error.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "formats/Encoding.h"
#include "gui-win32/TControlCursos.h"
#include "gui-win32/TPlantillas.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>

namespace pasavel::win32 {

namespace {

const std::u16string applicationTitle = u"Pasavel";

// How often an embedded window looks whether its host is still there: a
// host that goes away may take our window with it, or may leave it running
// with no window on the screen.
constexpr UINT hostWatchInterval = 500; // milliseconds

constexpr COLORREF panelStart = RGB(0xF9, 0xD3, 0x7D);
constexpr COLORREF panelMiddle = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF panelEnd = RGB(0xFF, 0xEE, 0xDD);
constexpr COLORREF bottomStart = RGB(0xC2, 0xCD, 0xFE);
constexpr COLORREF bottomMiddle = RGB(0xCF, 0xF2, 0xFE);
constexpr COLORREF bottomEnd = RGB(0xCC, 0xD8, 0xE6);

constexpr int formWidth = 632;
constexpr int formHeight = 266;

enum ControlIdentifier : int {
    exportIdentifier = 101,
    importIdentifier = 102,
    closeIdentifier = 103,
    helpIdentifier = 104,
};

// The single main window, for the host watch's timer.
TMForm* theMainWindow = nullptr;

constexpr DWORD standAloneStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD standAloneExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

std::wstring hexadecimal(std::uint64_t value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

TMForm::TMForm(CommandLine commandLine, ProgramPaths paths)
    : m_commandLine(std::move(commandLine)), m_form(*this, std::move(paths)), m_font(makeFont(windowFont())),
      m_boldFont(makeFont({.bold = true})),
      m_headingFont(makeFont({.face = L"Arial", .points = 12, .bold = true}))
{
    theMainWindow = this;
    if (!m_form.filenameXML.empty())
        m_lastFile = m_form.filenameXML.wstring();
}

TMForm::~TMForm()
{
    if (m_hostWatch != 0)
        KillTimer(nullptr, m_hostWatch);
    m_exportButton.reset();
    m_importButton.reset();
    m_closeButton.reset();
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

bool TMForm::FormCreate()
{
    const SIZE size = windowSizeForClient(formWidth, formHeight, standAloneStyle, standAloneExtendedStyle);
    if (!createWindow(L"PasavelMForm", L"Exportar e importar datos entre Velmora y Raíces", standAloneStyle,
                      standAloneExtendedStyle,
                      {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + size.cx, CW_USEDEFAULT + size.cy},
                      nullptr))
        return false;
    SetWindowPos(handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    buildWindow();

    if (!m_commandLine.twoParameters) {
        centreOnScreen(handle());
        return true;
    }
    if (!m_commandLine.hostWindow) {
        m_startupError = m_commandLine.handleError;
        centreOnScreen(handle());
        return true;
    }
    const auto host = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*m_commandLine.hostWindow));
    if (*m_commandLine.hostWindow > UINTPTR_MAX || IsWindow(host) == FALSE) {
        m_startupError = u"No existe ninguna ventana con el identificador " +
                         fromWide(hexadecimal(*m_commandLine.hostWindow)) +
                         u" para alojar el programa. El programa seguirá como una ventana independiente.";
        centreOnScreen(handle());
        return true;
    }
    embedInto(host);
    m_form.embedded = true;
    return true;
}

void TMForm::buildWindow()
{
    const auto heading = [this](const wchar_t* text, int left, int top, int width, int height) {
        PaintedLabel look;
        look.text = text;
        look.left = left;
        look.top = top;
        look.width = width;
        look.height = height;
        look.font = m_headingFont.get();
        look.wrapped = true;
        return look;
    };
    // Positions inside the panels: Draw3D2 at 1,0, Draw3D3 at 316,0 and
    // Draw3D1 at 0,168.
    PaintedLabel version;
    version.text = L"Pasavel para ZT07 V-1.0";
    version.left = 0 + 1;
    version.top = 168 + 72;
    version.font = m_boldFont.get();
    version.colour = colours::red;
    m_labels = {
        heading(L"Transformar datos desde Raíces hacia Velmora ", 1 + 24, 24, 265, 57),
        heading(L"Transformar datos desde Velmora hacia Raíces", 316 + 8, 24, 305, 57),
        version,
    };
    HFONT font = m_font.get();
    m_exportButton = std::make_unique<KindButton>(handle(), exportIdentifier, L"OK",
                                                  scaledRect(1 + 96, 120, 89, 25), font, Glyph::ok);
    m_importButton = std::make_unique<KindButton>(handle(), importIdentifier, L"OK",
                                                  scaledRect(316 + 96, 120, 89, 25), font, Glyph::ok);
    m_closeButton = std::make_unique<KindButton>(handle(), closeIdentifier, L"&Salir",
                                                 scaledRect(256, 168 + 32, 89, 25), font, Glyph::close);
    const RECT help = scaledRect(264, 168 + 67, 75, 19);
    m_helpButton = CreateWindowExW(
        0, L"BUTTON", L"F1 AYUDA", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, help.left, help.top,
        help.right - help.left, help.bottom - help.top, handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(helpIdentifier)), GetModuleHandleW(nullptr), nullptr);
    setControlFont(m_helpButton, font);
}

void TMForm::embedInto(HWND host)
{
    m_host = host;
    // A child has no caption or frame; its place is the host's corner.
    SetWindowLongPtrW(handle(), GWL_STYLE, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    SetWindowLongPtrW(handle(), GWL_EXSTYLE, WS_EX_CONTROLPARENT);
    SetParent(handle(), host);
    SetWindowPos(handle(), HWND_TOP, 0, 0, scaled(formWidth), scaled(formHeight), SWP_FRAMECHANGED);
    watchHost();
}

void TMForm::watchHost()
{
    // A thread timer: it keeps ticking inside every dialog's loop, and after
    // the host has taken our window with it.
    m_hostWatch = SetTimer(nullptr, 0, hostWatchInterval, &TMForm::hostWatchTick);
}

void CALLBACK TMForm::hostWatchTick(HWND, UINT, UINT_PTR, DWORD)
{
    TMForm* window = theMainWindow;
    if (window == nullptr || window->m_closed || window->m_host == nullptr)
        return;
    if (IsWindow(window->m_host) == FALSE)
        window->closeWindow();
}

int TMForm::run()
{
    ShowWindow(handle(), SW_SHOW);
    UpdateWindow(handle());
    if (m_host == nullptr)
        SetForegroundWindow(handle());
    SetFocus(m_exportButton->handle());
    // The run starts from the message loop, once the window is on screen.
    PostMessageW(handle(), firstShownMessage, 0, 0);
    HWND window = handle();
    runMessageLoop(
        window, [this] { return m_closed; }, [this] { showHelpTopic(HelpTopic::mainWindow); });
    return 0;
}

void TMForm::onFirstShown()
{
    if (!m_startupError.empty())
        showError(m_startupError);
    m_form.FormShow(m_commandLine);
}

void TMForm::closeWindow()
{
    if (m_closed)
        return;
    m_closed = true;
    try {
        m_form.FormClose();
    } catch (const Error& error) {
        showBox(fromUtf8(error.what()), applicationTitle, MB_ICONERROR);
    }
    if (m_hostWatch != 0) {
        KillTimer(nullptr, m_hostWatch);
        m_hostWatch = 0;
    }
    // Every loop ends, those of the system's dialogs among them, and a run
    // in progress stops at its next step.
    PostQuitMessage(0);
    if (handle() != nullptr) {
        for (const ModalDialog& dialog : m_modalDialogs)
            EnableWindow(dialog.window, FALSE);
        ShowWindow(handle(), SW_HIDE);
        DestroyWindow(handle());
    }
}

void TMForm::windowDestroyed()
{
    // Destroyed without being closed: the host took it along.
    if (!m_closed)
        closeWindow();
}

HWND TMForm::dialogOwner() const
{
    if (!m_modalDialogs.empty())
        return m_modalDialogs.back().window;
    if (handle() == nullptr)
        return nullptr;
    return GetAncestor(handle(), GA_ROOT);
}

void TMForm::beginModal(HWND dialog, std::function<void()> beforeCovered)
{
    m_modalDialogs.push_back({dialog, std::move(beforeCovered)});
}

void TMForm::endModal(HWND dialog)
{
    std::erase_if(m_modalDialogs, [dialog](const ModalDialog& entry) { return entry.window == dialog; });
}

void TMForm::showHelpTopic(HelpTopic topic)
{
    if (const auto problem = openHelpPage(dialogOwner(), m_form.paths().programDirectory, topic))
        showError(*problem);
}

int TMForm::showBox(std::u16string_view text, std::u16string_view caption, UINT kind)
{
    if (!m_modalDialogs.empty() && m_modalDialogs.back().beforeCovered)
        m_modalDialogs.back().beforeCovered();
    const std::wstring wideText = toWide(text);
    const std::wstring wideCaption = toWide(caption);
    return MessageBoxW(dialogOwner(), wideText.c_str(), wideCaption.c_str(), kind);
}

std::optional<std::filesystem::path> TMForm::chooseExchangeFile()
{
    // Once the window has closed (its host went away) nothing more is asked.
    if (m_closed)
        return std::nullopt;
    std::wstring buffer(32768, L'\0');
    m_lastFile.copy(buffer.data(), std::min(m_lastFile.size(), buffer.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = dialogOwner();
    // One entry whose description and pattern are both "*.xml".
    dialog.lpstrFilter = L"*.xml\0*.xml\0\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = L"Seleccione el Archivo XML obtenido de RAÍCES";
    dialog.lpstrDefExt = L"xml";
    // A name typed for a file that does not exist is accepted, so that the
    // run itself can say that it does not exist.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    if (GetOpenFileNameW(&dialog) == FALSE || m_closed)
        return std::nullopt;
    m_lastFile = buffer.c_str();
    return std::filesystem::path(m_lastFile);
}

std::optional<std::filesystem::path> TMForm::chooseWorkingFolder(std::u16string_view problem)
{
    if (m_closed)
        return std::nullopt;
    const std::u16string question =
        std::u16string(problem) +
        u"\n\n¿Quiere elegir otra carpeta de trabajo? Pasavel la recordará para las próximas veces.";
    if (showBox(question, applicationTitle, MB_OKCANCEL | MB_ICONWARNING) != IDOK || m_closed)
        return std::nullopt;
    BROWSEINFOW browse{};
    browse.hwndOwner = dialogOwner();
    browse.lpszTitle = L"Seleccione la carpeta de trabajo de Velmora";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr)
        return std::nullopt;
    std::wstring folder(MAX_PATH + 1, L'\0');
    const bool found = SHGetPathFromIDListW(chosen, folder.data()) != FALSE;
    CoTaskMemFree(chosen);
    if (!found || m_closed)
        return std::nullopt;
    return std::filesystem::path(folder.c_str());
}

void TMForm::showMessage(std::u16string_view text)
{
    if (!m_closed)
        showBox(text, applicationTitle, MB_OK | MB_ICONINFORMATION);
}

void TMForm::showError(std::u16string_view text)
{
    if (!m_closed)
        showBox(text, applicationTitle, MB_OK | MB_ICONERROR);
}

void TMForm::showCompletion(const std::vector<std::u16string>& summary)
{
    if (m_closed)
        return;
    // What the run wrote comes below the message.
    std::u16string text = u"Proceso finalizado";
    if (!summary.empty())
        text += u"\n";
    for (const std::u16string& line : summary)
        text += u"\n" + line;
    showBox(text, applicationTitle, MB_OK | MB_ICONINFORMATION);
}

bool TMForm::askOkCancel(std::u16string_view caption, std::u16string_view text)
{
    if (m_closed)
        return false;
    return showBox(text, caption, MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void TMForm::showCourseDialog(Cursos& dialog)
{
    // Once the window has closed (its host went away) nobody can answer:
    // the export ends as after a forced exit, and the codings kept from
    // earlier exports stay as they are.
    if (m_closed) {
        dialog.forcedExitClick();
        return;
    }
    TControlCursos window(dialog, *this);
    window.exec();
    window.rethrowFailure();
}

void TMForm::showFrameDialog(Plantihoras& dialog)
{
    if (m_closed) {
        dialog.abandon(u"La ventana de Pasavel se ha cerrado antes de elegir los marcos horarios.");
        return;
    }
    TPlantillas window(dialog, *this);
    window.exec();
    window.rethrowFailure();
}

void TMForm::setBusy(bool busy)
{
    m_busy = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TMForm::disableRunButtons()
{
    if (handle() == nullptr)
        return;
    EnableWindow(m_exportButton->handle(), FALSE);
    EnableWindow(m_importButton->handle(), FALSE);
    // The keyboard goes on where it still can do something.
    SetFocus(m_closeButton->handle());
}

void TMForm::closeMainWindow()
{
    closeWindow();
}

void TMForm::paint(HDC context)
{
    RECT client{};
    GetClientRect(handle(), &client);
    FillRect(context, &client, GetSysColorBrush(COLOR_BTNFACE));
    paintGradient(context, scaledRect(1, 0, 315, 169), panelStart, panelMiddle, panelEnd);     // Draw3D2
    paintGradient(context, scaledRect(316, 0, 317, 169), panelStart, panelMiddle, panelEnd);   // Draw3D3
    paintGradient(context, scaledRect(0, 168, 633, 97), bottomStart, bottomMiddle, bottomEnd); // Draw3D1
    for (const PaintedLabel& label : m_labels)
        paintLabel(context, label);
}

LRESULT TMForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintStruct{};
        HDC target = BeginPaint(handle(), &paintStruct);
        RECT client{};
        GetClientRect(handle(), &client);
        {
            BufferedPaint buffer(handle(), target, client);
            paint(buffer.context());
        }
        EndPaint(handle(), &paintStruct);
        return 0;
    }
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (drawKindButton(lParam))
            return TRUE;
        break;
    case WM_SETCURSOR:
        if (m_busy) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case firstShownMessage:
        onFirstShown();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case exportIdentifier:
            m_form.BExportarClick();
            return 0;
        case importIdentifier:
            m_form.BImportarClick();
            return 0;
        case closeIdentifier:
            closeWindow();
            return 0;
        case helpIdentifier:
            showHelpTopic(HelpTopic::contents);
            return 0;
        default:
            return 0;
        }
    case WM_MOUSEACTIVATE:
        // A click in the embedded window is where the user expects the
        // keyboard.
        if (m_host != nullptr && GetFocus() == nullptr)
            SetFocus(m_closeButton->handle());
        break;
    case WM_ACTIVATE:
        // The button that had the keyboard has it again on return.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            if (focused != nullptr && IsChild(handle(), focused) != FALSE)
                m_savedFocus = focused;
            return 0;
        }
        if (HIWORD(wParam) == 0) {
            HWND target = m_savedFocus != nullptr && IsWindowEnabled(m_savedFocus) != FALSE
                              ? m_savedFocus
                              : m_closeButton->handle();
            SetFocus(target);
            return 0;
        }
        break;
    case WM_CLOSE:
        closeWindow();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace pasavel::win32
