#include "actctx.h"

#include "module.h"

namespace {

typedef BOOL(WINAPI* ActivateActCtxFn)(HANDLE, ULONG_PTR*);
typedef BOOL(WINAPI* DeactivateActCtxFn)(DWORD, ULONG_PTR);
typedef BOOL(WINAPI* QueryActCtxWFn)(DWORD, HANDLE, PVOID, ULONG, PVOID, SIZE_T, SIZE_T*);
typedef HPROPSHEETPAGE(WINAPI* CreatePropertySheetPageWFn)(LPCPROPSHEETPAGEW);
typedef BOOL(WINAPI* DestroyPropertySheetPageFn)(HPROPSHEETPAGE);
typedef BOOL(WINAPI* GetOpenFileNameWFn)(LPOPENFILENAMEW);

// One-time lookups. Two threads that race here compute and store the same
// values, so no lock is needed.
struct ContextFunctions {
    bool looked;
    ActivateActCtxFn activate;
    DeactivateActCtxFn deactivate;
    HANDLE context;
};
ContextFunctions Context;

HMODULE Comctl32;
CreatePropertySheetPageWFn CreatePropertySheetPageWPtr;
DestroyPropertySheetPageFn DestroyPropertySheetPagePtr;
HMODULE Comdlg32;
GetOpenFileNameWFn GetOpenFileNameWPtr;

void LookUpContext()
{
    if (Context.looked)
        return;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ActivateActCtxFn activate = nullptr;
    DeactivateActCtxFn deactivate = nullptr;
    QueryActCtxWFn query = nullptr;
    if (kernel) {
        activate = reinterpret_cast<ActivateActCtxFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "ActivateActCtx")));
        deactivate = reinterpret_cast<DeactivateActCtxFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "DeactivateActCtx")));
        query = reinterpret_cast<QueryActCtxWFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "QueryActCtxW")));
    }
    HANDLE found = nullptr;
    if (activate && deactivate && query) {
        // Ask which context holds this very code: the one the loader built
        // from the manifest resource of the deliverable.
        ACTIVATION_CONTEXT_BASIC_INFORMATION info = {};
        if (query(QUERY_ACTCTX_FLAG_ACTCTX_IS_ADDRESS | QUERY_ACTCTX_FLAG_NO_ADDREF,
                  reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(&LookUpContext)), nullptr,
                  ActivationContextBasicInformation, &info, sizeof(info), nullptr))
            found = info.hActCtx;
    }
    Context.activate = activate;
    Context.deactivate = deactivate;
    Context.context = found;
    Context.looked = true;
}

// Activates the module's context for the length of a scope. Without
// activation-context support there is nothing to activate and the call runs
// plainly; an activation that fails otherwise blocks the call.
class ActivationScope {
public:
    ActivationScope() : cookie_(0), active_(false), failed_(false)
    {
        LookUpContext();
        if (Context.context) {
            active_ = Context.activate(Context.context, &cookie_) != FALSE;
            failed_ = !active_;
        }
    }
    ~ActivationScope()
    {
        if (active_) {
            DWORD error = GetLastError();
            Context.deactivate(0, cookie_);
            SetLastError(error);
        }
    }
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;
    bool Failed() const { return failed_; }

private:
    ULONG_PTR cookie_;
    bool active_;
    bool failed_;
};

template <typename Fn>
Fn LookUp(HMODULE* module, PCWSTR moduleName, const char* functionName)
{
    if (!*module)
        *module = LoadLibraryW(moduleName);
    if (!*module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(*module, functionName)));
}

}  // namespace

HANDLE GetModuleActCtx()
{
    LookUpContext();
    return Context.context;
}

HPROPSHEETPAGE CreatePageInContext(PROPSHEETPAGEW* page)
{
    ActivationScope scope;
    if (scope.Failed())
        return nullptr;
    if (!CreatePropertySheetPageWPtr)
        CreatePropertySheetPageWPtr =
            LookUp<CreatePropertySheetPageWFn>(&Comctl32, L"Comctl32.dll", "CreatePropertySheetPageW");
    if (!CreatePropertySheetPageWPtr)
        return nullptr;
    if (page->dwSize >= sizeof(PROPSHEETPAGEW_V3) && !(page->dwFlags & PSP_USEFUSIONCONTEXT) &&
        Context.context) {
        page->dwFlags |= PSP_USEFUSIONCONTEXT;
        page->hActCtx = Context.context;
    }
    return CreatePropertySheetPageWPtr(page);
}

BOOL DestroyPageInContext(HPROPSHEETPAGE page)
{
    ActivationScope scope;
    if (scope.Failed())
        return FALSE;
    if (!DestroyPropertySheetPagePtr)
        DestroyPropertySheetPagePtr =
            LookUp<DestroyPropertySheetPageFn>(&Comctl32, L"Comctl32.dll", "DestroyPropertySheetPage");
    if (!DestroyPropertySheetPagePtr)
        return FALSE;
    return DestroyPropertySheetPagePtr(page);
}

INT_PTR DialogBoxInContext(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                           LPARAM initParam)
{
    ActivationScope scope;
    if (scope.Failed())
        return -1;
    return DialogBoxParamW(instance, templateName, owner, dialogProc, initParam);
}

BOOL GetOpenFileNameInContext(OPENFILENAMEW* ofn)
{
    ActivationScope scope;
    if (scope.Failed())
        return FALSE;
    if (!GetOpenFileNameWPtr)
        GetOpenFileNameWPtr = LookUp<GetOpenFileNameWFn>(&Comdlg32, L"Comdlg32.dll", "GetOpenFileNameW");
    if (!GetOpenFileNameWPtr)
        return FALSE;
    return GetOpenFileNameWPtr(ofn);
}

HMODULE LoadStringModuleInContext(PCWSTR path)
{
    ActivationScope scope;
    if (scope.Failed())
        return nullptr;
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Systems before Vista refuse the image-resource flag; a plain data-file
    // load still maps the resources without running anything.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}
