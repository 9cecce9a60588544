// The stand-in's registry: the HKEY_LOCAL_MACHINE tree with case-insensitive key and
// value names, typed values, keys created with their missing parents, and keys whose
// opening or creation is refused.
#include "standin.h"
#include "standin_internal.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace {

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::string name;
    std::map<std::string, std::unique_ptr<Key>> children; // by upper-cased name
    std::map<std::string, Value> values;                  // by upper-cased name
};

struct Refusal {
    LSTATUS openError;
    LSTATUS createError;
};

Key root;
std::map<HKEY, Key*> openKeys;
std::map<std::string, Refusal> refusals;         // by upper-cased normalised path
std::map<std::string, LSTATUS> valueSetFailures; // by upper-cased value name
standin::RegistryCounts counts;
std::vector<REGSAM> openAccesses;
uintptr_t nextKeyHandle;

// The path's names without empty parts: "A\\\\B\\" names the same key as "A\\B".
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

std::string RefusalName(const std::vector<std::string>& parts) {
    std::string name;
    for (const std::string& part : parts) {
        name += (name.empty() ? "" : "\\") + standin::UpperCased(part);
    }
    return name;
}

Key* FindKey(const std::vector<std::string>& parts, bool create) {
    Key* key = &root;
    for (const std::string& part : parts) {
        auto& child = key->children[standin::UpperCased(part)];
        if (!child) {
            if (!create) {
                key->children.erase(standin::UpperCased(part));
                return nullptr;
            }
            child = std::make_unique<Key>();
            child->name = part;
        }
        key = child.get();
    }
    return key;
}

HKEY NewKeyHandle(Key* key) {
    nextKeyHandle += 4;
    HKEY handle = reinterpret_cast<HKEY>(nextKeyHandle);
    openKeys[handle] = key;
    return handle;
}

void Dump(const Key& key, const std::string& path, std::vector<standin::RegistryValue>* out) {
    for (const auto& value : key.values) {
        out->push_back({path, value.second.name, value.second.type, value.second.data});
    }
    for (const auto& child : key.children) {
        Dump(*child.second, path.empty() ? child.second->name : path + "\\" + child.second->name,
             out);
    }
}

void ListKeys(const Key& key, const std::string& path, std::vector<std::string>* out) {
    for (const auto& child : key.children) {
        const std::string childPath =
            path.empty() ? child.second->name : path + "\\" + child.second->name;
        out->push_back(childPath);
        ListKeys(*child.second, childPath, out);
    }
}

} // namespace

namespace standin {

void ResetRegistry() {
    root.children.clear();
    root.values.clear();
    openKeys.clear();
    refusals.clear();
    valueSetFailures.clear();
    counts = RegistryCounts{};
    openAccesses.clear();
    nextKeyHandle = 0x2000;
}

void SetValue(const std::string& key, const std::string& name, DWORD type,
              const std::vector<BYTE>& data) {
    Key* target = FindKey(SplitPath(key), true);
    auto& value = target->values[UpperCased(name)];
    if (value.name.empty()) {
        value.name = name;
    }
    value.type = type;
    value.data = data;
}

void SetDword(const std::string& key, const std::string& name, DWORD value) {
    SetValue(key, name, REG_DWORD,
             {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
              static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
}

void SetText(const std::string& key, const std::string& name, const std::string& text) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(key, name, REG_SZ, data);
}

void CreateKey(const std::string& key) {
    FindKey(SplitPath(key), true);
}

bool KeyExists(const std::string& key) {
    return FindKey(SplitPath(key), false) != nullptr;
}

std::vector<RegistryValue> DumpRegistry() {
    std::vector<RegistryValue> values;
    Dump(root, "", &values);
    return values;
}

std::vector<std::string> KeyPaths() {
    std::vector<std::string> paths;
    ListKeys(root, "", &paths);
    return paths;
}

void DenyKey(const std::string& key, LSTATUS openError, LSTATUS createError) {
    refusals[RefusalName(SplitPath(key))] = Refusal{openError, createError};
}

void FailValueSet(const std::string& name, LSTATUS error) {
    valueSetFailures[UpperCased(name)] = error;
}

RegistryCounts RegistryCalls() {
    return counts;
}

int OpenKeys() {
    return static_cast<int>(openKeys.size());
}

std::vector<REGSAM> OpenAccesses() {
    return openAccesses;
}

} // namespace standin

LSTATUS RegOpenKeyExA(HKEY rootKey, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    (void)options;
    (void)access;
    if (rootKey != HKEY_LOCAL_MACHINE || result == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    const std::vector<std::string> parts = SplitPath(subKey != nullptr ? subKey : "");
    auto refusal = refusals.find(RefusalName(parts));
    if (refusal != refusals.end() && refusal->second.openError != ERROR_SUCCESS) {
        return refusal->second.openError;
    }
    Key* key = FindKey(parts, false);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = NewKeyHandle(key);
    ++counts.opens;
    openAccesses.push_back(access);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY rootKey, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES attributes, PHKEY result,
                        LPDWORD disposition) {
    (void)reserved;
    (void)keyClass;
    (void)access;
    (void)attributes;
    if (rootKey != HKEY_LOCAL_MACHINE || result == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (options != REG_OPTION_NON_VOLATILE) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::vector<std::string> parts = SplitPath(subKey != nullptr ? subKey : "");
    auto refusal = refusals.find(RefusalName(parts));
    if (refusal != refusals.end() && refusal->second.createError != ERROR_SUCCESS) {
        return refusal->second.createError;
    }
    const bool existed = FindKey(parts, false) != nullptr;
    *result = NewKeyHandle(FindKey(parts, true));
    if (disposition != nullptr) {
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    ++counts.creates;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size) {
    (void)reserved;
    ++counts.sets;
    auto open = openKeys.find(key);
    if (open == openKeys.end()) {
        return ERROR_INVALID_HANDLE;
    }
    const std::string valueName = name != nullptr ? name : "";
    auto failure = valueSetFailures.find(standin::UpperCased(valueName));
    if (failure != valueSetFailures.end()) {
        return failure->second;
    }
    auto& value = open->second->values[standin::UpperCased(valueName)];
    if (value.name.empty()) {
        value.name = valueName;
    }
    value.type = type;
    value.data.assign(data, data + size);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size) {
    (void)reserved;
    auto open = openKeys.find(key);
    if (open == openKeys.end()) {
        return ERROR_INVALID_HANDLE;
    }
    if (data != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto found = open->second->values.find(standin::UpperCased(name != nullptr ? name : ""));
    if (found == open->second->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Value& value = found->second;
    const DWORD length = static_cast<DWORD>(value.data.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (size == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD given = *size;
    *size = length;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (given < length) {
        return ERROR_MORE_DATA;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (openKeys.erase(key) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    ++counts.closes;
    return ERROR_SUCCESS;
}
