#include "exe_resources.h"

#include <vector>

namespace gui {

namespace {

// A resource type or name: an integer id or a string.
struct ResourceKey {
  WORD id = 0;
  std::wstring name;

  static ResourceKey From(LPCWSTR key) {
    ResourceKey k;
    if (IS_INTRESOURCE(key)) {
      k.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(key));
    } else {
      k.name = key;
    }
    return k;
  }
  LPCWSTR Get() const { return name.empty() ? MAKEINTRESOURCEW(id) : name.c_str(); }
};

struct Entry {
  ResourceKey type;
  ResourceKey name;
  WORD language = 0;
};

std::vector<Entry> ListResources(HMODULE module) {
  struct Walk {
    HMODULE module;
    std::vector<Entry> entries;
    ResourceKey type;
    ResourceKey name;
  } walk{module, {}, {}, {}};
  EnumResourceTypesW(
      module,
      [](HMODULE m, LPWSTR type, LONG_PTR param) -> BOOL {
        auto* w = reinterpret_cast<Walk*>(param);
        w->type = ResourceKey::From(type);
        EnumResourceNamesW(
            m, type,
            [](HMODULE m2, LPCWSTR type2, LPWSTR name, LONG_PTR param2) -> BOOL {
              auto* w2 = reinterpret_cast<Walk*>(param2);
              w2->name = ResourceKey::From(name);
              EnumResourceLanguagesW(
                  m2, type2, name,
                  [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param3) -> BOOL {
                    auto* w3 = reinterpret_cast<Walk*>(param3);
                    w3->entries.push_back(Entry{w3->type, w3->name, language});
                    return TRUE;
                  },
                  param2);
              return TRUE;
            },
            param);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&walk));
  return walk.entries;
}

bool IsResource(const ResourceKey& key, const wchar_t* typeOrName) {
  return IS_INTRESOURCE(typeOrName)
             ? key.name.empty() && key.id == reinterpret_cast<ULONG_PTR>(typeOrName)
             : _wcsicmp(key.name.c_str(), typeOrName) == 0;
}

}  // namespace

bool HasResource(const std::wstring& exe, const wchar_t* type, WORD id) {
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  const bool found = FindResourceW(module, MAKEINTRESOURCEW(id), type) != nullptr;
  FreeLibrary(module);
  return found;
}

bool CopyResourcesExcept(const std::wstring& source, const std::wstring& target,
                         const wchar_t* type, WORD id) {
  HMODULE module = LoadLibraryExW(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  const std::vector<Entry> entries = ListResources(module);
  HANDLE update = BeginUpdateResourceW(target.c_str(), TRUE);  // start from none
  bool ok = update != nullptr && !entries.empty();
  for (const Entry& e : entries) {
    if (!ok) break;
    if (IsResource(e.type, type) && IsResource(e.name, MAKEINTRESOURCEW(id))) continue;
    HRSRC found = FindResourceExW(module, e.type.Get(), e.name.Get(), e.language);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    ok = data != nullptr && UpdateResourceW(update, e.type.Get(), e.name.Get(), e.language, data,
                                            SizeofResource(module, found)) != FALSE;
  }
  FreeLibrary(module);
  if (update == nullptr) return false;
  if (EndUpdateResourceW(update, ok ? FALSE : TRUE) == FALSE) return false;
  return ok && !HasResource(target, type, id);
}

}  // namespace gui
