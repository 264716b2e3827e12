#include "RegistryHive.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsBelow(const std::string& Key, const std::string& Parent) {
  if (Parent.empty()) return !Key.empty();
  return Key.size() > Parent.size() + 1 && Key[Parent.size()] == '\\' &&
         SameText(Key.substr(0, Parent.size()), Parent);
}

}  // namespace

TRegValue TRegValue::String(const std::string& Name, const std::string& Text) {
  TRegValue v;
  v.Name = Name;
  v.Type = rdtString;
  v.Data.assign(Text.begin(), Text.end());
  return v;
}

TRegValue TRegValue::DWord(const std::string& Name, uint32_t Value) {
  TRegValue v;
  v.Name = Name;
  v.Type = rdtDWord;
  for (int i = 0; i < 4; ++i) v.Data.push_back(static_cast<uint8_t>(Value >> (8 * i)));
  return v;
}

TRegValue TRegValue::Binary(const std::string& Name, const void* Data, size_t Size) {
  TRegValue v;
  v.Name = Name;
  v.Type = rdtBinary;
  if (Size) {
    const uint8_t* p = static_cast<const uint8_t*>(Data);
    v.Data.assign(p, p + Size);
  }
  return v;
}

uint32_t TRegValue::AsDWord() const {
  uint32_t r = 0;
  for (size_t i = 0; i < 4 && i < Data.size(); ++i) r |= static_cast<uint32_t>(Data[i]) << (8 * i);
  return r;
}

bool TAsciiCaseLess::operator()(const std::string& A, const std::string& B) const {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
    return static_cast<unsigned char>(LowerAscii(X)) < static_cast<unsigned char>(LowerAscii(Y));
  });
}

const TRegValue* THiveKey::Find(const std::string& ValueName) const {
  for (const TRegValue& v : FValues)
    if (SameText(v.Name, ValueName)) return &v;
  return nullptr;
}

void THiveKey::Set(TRegValue Value) {
  for (TRegValue& v : FValues) {
    if (SameText(v.Name, Value.Name)) {
      std::string keep = v.Name;  // the registry keeps the first spelling
      v = std::move(Value);
      v.Name = keep;
      return;
    }
  }
  FValues.push_back(std::move(Value));
}

bool THiveKey::Remove(const std::string& ValueName) {
  auto it = std::find_if(FValues.begin(), FValues.end(),
                         [&](const TRegValue& v) { return SameText(v.Name, ValueName); });
  if (it == FValues.end()) return false;
  FValues.erase(it);
  return true;
}

std::string THive::NormalPath(const std::string& Path) {
  std::string r;
  size_t i = 0;
  while (i < Path.size()) {
    size_t j = Path.find('\\', i);
    if (j == std::string::npos) j = Path.size();
    if (j > i) {
      if (!r.empty()) r += '\\';
      r.append(Path, i, j - i);
    }
    i = j + 1;
  }
  return r;
}

const THiveKey* THive::FindKey(const std::string& Path) const {
  auto it = FKeys.find(NormalPath(Path));
  return it == FKeys.end() ? nullptr : &it->second;
}

bool THive::KeyExists(const std::string& Path) const {
  std::string p = NormalPath(Path);
  if (p.empty() || FKeys.count(p)) return true;
  // Keys sort after their parent; the first one after p tells.
  auto it = FKeys.upper_bound(p);
  for (; it != FKeys.end() && SameText(it->first.substr(0, p.size()), p); ++it)
    if (IsBelow(it->first, p)) return true;
  return false;
}

THiveKey& THive::CreateKey(const std::string& Path) {
  std::string p = NormalPath(Path);
  size_t from = 0;
  for (;;) {
    size_t slash = p.find('\\', from);
    std::string part = p.substr(0, slash);
    if (!part.empty() && !FKeys.count(part)) FKeys.emplace(part, THiveKey(part));
    if (slash == std::string::npos) break;
    from = slash + 1;
  }
  auto it = FKeys.find(p);
  if (it == FKeys.end()) it = FKeys.emplace(p, THiveKey(p)).first;
  return it->second;
}

bool THive::DeleteKey(const std::string& Path) {
  std::string p = NormalPath(Path);
  bool any = false;
  for (auto it = FKeys.begin(); it != FKeys.end();) {
    if (SameText(it->first, p) || IsBelow(it->first, p)) {
      it = FKeys.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  return any;
}

std::vector<std::string> THive::SubKeyNames(const std::string& Path) const {
  std::string p = NormalPath(Path);
  std::vector<std::string> r;
  for (const auto& [name, key] : FKeys) {
    if (!IsBelow(name, p)) continue;
    std::string rest = name.substr(p.empty() ? 0 : p.size() + 1);
    std::string child = rest.substr(0, rest.find('\\'));
    bool known =
        std::any_of(r.begin(), r.end(), [&](const std::string& n) { return SameText(n, child); });
    if (!known) r.push_back(child);
  }
  return r;
}

bool THive::operator==(const THive& Other) const {
  if (!SameText(FRoot, Other.FRoot) || FKeys.size() != Other.FKeys.size()) return false;
  auto a = FKeys.begin();
  auto b = Other.FKeys.begin();
  for (; a != FKeys.end(); ++a, ++b) {
    if (a->first != b->first) return false;
    const auto& va = a->second.Values();
    const auto& vb = b->second.Values();
    if (va.size() != vb.size()) return false;
    for (size_t i = 0; i < va.size(); ++i)
      if (va[i].Name != vb[i].Name || va[i].Type != vb[i].Type || va[i].Data != vb[i].Data)
        return false;
  }
  return true;
}
