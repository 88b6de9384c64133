// Replaces one imported function in this program's import table, so a test
// can watch the calls that code linked into it makes (and pass them on).
#pragma once

#include <windows.h>

// Returns the function that was imported, or nullptr when no such import.
void* PatchImport(const char* dll, const char* function, void* replacement);

// Puts a replacement in place for the life of the object.
class ImportPatch {
  public:
    ImportPatch(const char* dll, const char* function, void* replacement)
        : dll_(dll), function_(function), original_(PatchImport(dll, function, replacement)) {}
    ~ImportPatch() {
        if (original_)
            PatchImport(dll_, function_, original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    template <class F> F Original() const { return reinterpret_cast<F>(original_); }

  private:
    const char* dll_;
    const char* function_;
    void* original_;
};
