// The assistant's HTML dialog as the rest of the program sees it: the
// creation record, the dialog interface through which native code calls the
// page, and the two message boxes every part of the program uses.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <dispex.h>

#include <functional>

namespace Zentrava::UI {

class IBSDialog;

// Receives every script call of the page (callc, asyncallc, asyncalld) and
// the element notifications ("ui_notify"). The five variants are read-only;
// the result is returned by value and the caller clears it. Runs on the
// dialog thread for callc and notifications, on a pool thread otherwise.
typedef VARIANT (*ScriptCallback)(IBSDialog* dialog, const VARIANT* name, const VARIANT* a1,
                                  const VARIANT* a2, const VARIANT* a3, const VARIANT* a4);

// Receives window notifications: WM_CLOSE (16, 0, 0), WM_COMMAND (0x111, 0,
// id), WM_COPYDATA (0x4A, sender, record) and "AssistantNotify" (0x8001, ...).
typedef void (*MessageCallback)(IBSDialog* dialog, UINT message, WPARAM first, LPARAM second);

// Asked for the popup menu of the "ui_menu" element; the dialog does not own
// the menu it returns.
typedef HMENU (*MenuProvider)(IBSDialog* dialog);

// The creation record. Its layout is part of the contract: `size` must hold
// the record's own size (64 bytes on 32-bit Windows, 112 on 64-bit).
struct BSDialogParams {
  unsigned size = sizeof(BSDialogParams);
  HWND parent = nullptr;            // parent or owner of the dialog
  LPCWSTR title = nullptr;          // window title, set after creation when present
  bool caption = true;              // system caption bar
  BOOL fitToPage = TRUE;            // size to the page, fixed frame; FALSE: resizable, no fitting
  int maxWidth = 0;                 // template width (dialog units), cap of the fitted width (pixels)
  int maxHeight = 0;                // template height, cap of the fitted height
  HMODULE resourceModule = nullptr; // module the page is loaded from (default: the program)
  HICON icon = nullptr;             // big and small window icon
  HMENU menu = nullptr;             // popup menu of "ui_menu"
  MenuProvider menuProvider = nullptr;  // asked instead of `menu` when present
  unsigned htmlResourceId = 0;      // numeric HTML resource to show
  LPCWSTR htmlResourceName = nullptr;  // HTML resource by name, when the id is 0
  LPCWSTR startUrl = nullptr;       // URL shown when neither resource is given
  ScriptCallback scriptCallback = nullptr;
  MessageCallback messageCallback = nullptr;
};
static_assert(sizeof(void*) != 4 || sizeof(BSDialogParams) == 64, "record layout (32-bit)");
static_assert(sizeof(void*) != 8 || sizeof(BSDialogParams) == 112, "record layout (64-bit)");

// Fills a freshly created page object (CreateObject); runs on the dialog
// thread. A failure status makes CreateObject fail with it.
typedef std::function<HRESULT(IDispatchEx* object)> ObjectInitializer;

// The dialog's interface. The page-call operations (CallFunction to
// CreateObject) may be called from any thread: off the dialog thread they are
// sent to the dialog window and the caller waits until the dialog thread has
// run them. Before the first page has loaded they fail with E_POINTER; once
// the dialog is being destroyed they fail without touching the page.
class IBSDialog {
 public:
  virtual ~IBSDialog() = default;

  // The dialog's window.
  virtual HWND GetHwnd() const = 0;

  // Sizes the window; a width or height of 0 or less means "the page's".
  virtual HRESULT ResizeWindow(int width, int height) = 0;

  // The dialog's own command set. `result` (may be null) receives the
  // command's value. Returns whether the command was handled.
  virtual bool ExecuteCommand(const VARIANT* name, const VARIANT* a1, const VARIANT* a2,
                              const VARIANT* a3, const VARIANT* a4, VARIANT* result) = 0;

  // Calls the page's global function `name`. `args` holds `count` arguments,
  // last argument first (args[count - 1] is the first parameter); `result`
  // may be null.
  virtual HRESULT CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT* result) = 0;

  // Sets the page global `name` to a copy of `value`.
  virtual HRESULT SetVariable(LPCWSTR name, const VARIANT* value) = 0;

  // Reads the page global `name` into `result` (left untouched on failure).
  virtual HRESULT GetVariable(LPCWSTR name, VARIANT* result) = 0;

  // Runs `script` as JavaScript in the page's window.
  virtual HRESULT ExecScript(LPCWSTR script) = 0;

  // Constructs a new object with the page constructor `constructorName`
  // ("Object", "Array"), runs `initializer` (may be empty) on it and hands it
  // out with one reference owned by the caller. `object` is untouched on
  // failure.
  virtual HRESULT CreateObject(LPCWSTR constructorName, IDispatchEx** object,
                               const ObjectInitializer& initializer) = 0;
};

// Creates the dialog from `params` on the calling thread, which becomes the
// dialog thread (it must have COM initialised and run a message loop).
// Returns null when the record's size is wrong or the window or its browser
// control cannot be created.
IBSDialog* CreateBSDialog(const BSDialogParams* params);

// Destroys the window and frees the dialog; on the dialog thread. When the
// last live dialog goes, the quit message is posted. Asynchronous jobs of the
// dialog that are still queued are dropped and a running one is waited for a
// bounded time; see ui/external_object.h.
void DestroyBSDialog(IBSDialog* dialog);

// The number of the registered window message "AssistantNotify".
UINT AssistantNotifyMessage();

// Icon and meaning of a message box. Any other value shows no icon.
enum class MessageKind : int {
  None = 0,
  Information = 1,
  Warning = 2,
  Question = 3,
  Shield = 4,
  Error = 5,
};

// Texts of the message boxes are strings or string resource numbers of the
// program (MAKEINTRESOURCEW(id)); null means none.
//
// Shows a message with an OK button, as a task dialog where the system has
// them (Vista and later), else as a message box without the heading. An owner
// of null means the calling thread's active window. Returns the button chosen.
int ShowMessage(LPCWSTR text, LPCWSTR heading, LPCWSTR title, MessageKind kind,
                HWND owner = nullptr);

// Asks the user to pick one of two choices (command links in a task dialog,
// else Yes/No). Returns IDYES (6) for the first choice, IDNO (7) for the second.
int ShowChoice(LPCWSTR text, LPCWSTR heading, LPCWSTR title, LPCWSTR firstChoice,
               LPCWSTR secondChoice, HWND owner = nullptr);

}  // namespace Zentrava::UI
