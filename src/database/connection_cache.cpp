#include "database/connection_cache.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "database/database.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace vuduzez {

namespace {

uint8_t CodeOf(const std::string& bsym) {
  if (bsym == "-") return kBondSingle;
  if (bsym == "=") return kBondDouble;
  if (bsym == "_") return kBondTriple;
  if (bsym == "@") return kBondAromatic;
  return kBondOther;
}

void Put16(std::string& out, int v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>((v >> 8) & 0xff);
}

void PutText(std::string& out, std::string_view text) {
  const size_t n = std::min<size_t>(text.size(), 0xffff);
  PutValue(out, static_cast<uint16_t>(n));
  out.append(text.substr(0, n));
}

bool GetText(std::string_view& in, std::string& text) {
  uint16_t n = 0;
  if (!GetValue(in, n) || in.size() < n) return false;
  text.assign(in.substr(0, n));
  in.remove_prefix(n);
  return true;
}

size_t TableSize(int atoms, int bonds) {
  return 3 + 3 * static_cast<size_t>(atoms) + 2 * (static_cast<size_t>(atoms) + 1) +
         8 * static_cast<size_t>(bonds);
}

}  // namespace

std::string BuildConnectionTable(const Molecule& mol) {
  const int n = std::clamp(mol.atmcount, 0, kMaxAtoms);
  const int m = std::clamp(mol.bndcount, 0, kMaxBonds);
  std::string out;
  out.reserve(TableSize(n, m));
  out += static_cast<char>(n);
  Put16(out, m);
  for (int a = 1; a <= n; ++a) {
    const std::string& s = mol.atmdata[a].symbol;
    out += s.size() > 0 ? s[0] : '\0';
    out += s.size() > 1 ? s[1] : '\0';
    out += static_cast<char>(std::clamp(mol.posdata[a].charge, 0, 255));
  }
  // Bond ends grouped by atom, in bond order.
  std::vector<int> count(static_cast<size_t>(n) + 1, 0);
  for (int j = 1; j <= m; ++j) {
    const BondRow& b = mol.bnddata[j];
    if (b.atom1 < 1 || b.atom1 > n || b.atom2 < 1 || b.atom2 > n) continue;
    ++count[static_cast<size_t>(b.atom1 - 1)];
    ++count[static_cast<size_t>(b.atom2 - 1)];
  }
  std::vector<int> first(static_cast<size_t>(n) + 1, 0);
  for (int a = 0; a < n; ++a) first[static_cast<size_t>(a) + 1] = first[a] + count[a];
  for (int a = 0; a <= n; ++a) Put16(out, first[static_cast<size_t>(a)]);
  std::string adj(static_cast<size_t>(first[static_cast<size_t>(n)]) * 4, '\0');
  std::vector<int> at(first.begin(), first.end() - 1);
  for (int j = 1; j <= m; ++j) {
    const BondRow& b = mol.bnddata[j];
    if (b.atom1 < 1 || b.atom1 > n || b.atom2 < 1 || b.atom2 > n) continue;
    const char code = static_cast<char>(CodeOf(b.bsym));
    const auto end = [&](int from, int to) {
      const size_t e = static_cast<size_t>(at[static_cast<size_t>(from)]++) * 4;
      adj[e] = static_cast<char>(to);
      adj[e + 1] = code;
      adj[e + 2] = static_cast<char>((j - 1) & 0xff);
      adj[e + 3] = static_cast<char>((j - 1) >> 8);
    };
    end(b.atom1 - 1, b.atom2 - 1);
    end(b.atom2 - 1, b.atom1 - 1);
  }
  out += adj;
  // A bond naming an atom outside the table (never from the reader) is left
  // out; the adjacency then holds fewer ends than twice the bond count.
  out.resize(TableSize(n, m), '\0');
  return out;
}

void CtView::Adopt(std::string_view bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  atoms_ = p[0];
  bonds_ = p[1] | p[2] << 8;
  atom_ = p + 3;
  first_ = atom_ + 3 * atoms_;
  adj_ = first_ + 2 * (atoms_ + 1);
}

bool CtView::Parse(std::string_view bytes) {
  *this = CtView();
  if (bytes.size() < 3) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const int n = p[0];
  const int m = p[1] | p[2] << 8;
  if (n > kMaxAtoms || m > kMaxBonds || bytes.size() != TableSize(n, m)) return false;
  CtView v;
  v.atoms_ = n;
  v.bonds_ = m;
  v.atom_ = p + 3;
  v.first_ = v.atom_ + 3 * n;
  v.adj_ = v.first_ + 2 * (n + 1);
  if (v.First(0) != 0) return false;
  for (int a = 0; a < n; ++a) {
    if (v.First(a + 1) < v.First(a)) return false;
  }
  if (v.First(n) > 2 * m) return false;
  for (int e = 0; e < v.First(n); ++e) {
    if (v.Neighbour(e) >= n || v.Code(e) > kBondAromatic || v.Bond(e) >= m) return false;
  }
  *this = v;
  return true;
}

CtEntry UnreadEntry(std::string name) {
  CtEntry e;
  e.name = std::move(name);
  e.mol.size = -2;  // StampOf gives -1 at least
  return e;
}

std::string SerializeConnectionEntries(const std::vector<CtEntry>& entries) {
  std::string out;
  PutValue(out, static_cast<uint32_t>(entries.size()));
  for (const CtEntry& e : entries) {
    PutValue(out, static_cast<uint8_t>(e.status));
    PutValue(out, e.mol.size);
    PutValue(out, e.mol.mtimeNs);
    PutValue(out, e.mol.ctimeNs);
    PutValue(out, e.mol.device);
    PutValue(out, e.mol.inode);
    PutText(out, e.name);
    PutText(out, e.reason);
    PutValue(out, static_cast<uint32_t>(e.table.size()));
    out += e.table;
  }
  return out;
}

std::optional<std::vector<CtEntry>> ParseConnectionEntries(std::string_view in) {
  uint32_t count = 0;
  if (!GetValue(in, count)) return std::nullopt;
  std::vector<CtEntry> entries;
  entries.reserve(std::min<size_t>(count, in.size() / 40 + 1));
  for (uint32_t i = 0; i < count; ++i) {
    CtEntry e;
    uint8_t status = 0;
    uint32_t tableSize = 0;
    if (!GetValue(in, status) || status > static_cast<uint8_t>(CtStatus::kKeyFailed) ||
        !GetValue(in, e.mol.size) || !GetValue(in, e.mol.mtimeNs) || !GetValue(in, e.mol.ctimeNs) ||
        !GetValue(in, e.mol.device) || !GetValue(in, e.mol.inode) || !GetText(in, e.name) ||
        !GetText(in, e.reason) || !GetValue(in, tableSize) || in.size() < tableSize) {
      return std::nullopt;
    }
    e.status = static_cast<CtStatus>(status);
    e.table.assign(in.substr(0, tableSize));
    in.remove_prefix(tableSize);
    CtView view;
    if (e.status == CtStatus::kOk ? !view.Parse(e.table) : !e.table.empty()) return std::nullopt;
    entries.push_back(std::move(e));
  }
  if (!in.empty()) return std::nullopt;
  return entries;
}

std::optional<ConnectionCacheFile> ReadConnectionCache(const std::string& dbPath) {
  const std::optional<std::string> path = CachePathFor(kConnectionCacheKind, dbPath);
  if (!path) return std::nullopt;
  std::optional<CacheContent> content =
      ReadCacheFile(*path, kConnectionCacheKind, kConnectionCacheVersion, dbPath);
  if (!content) return std::nullopt;
  std::optional<std::vector<CtEntry>> entries = ParseConnectionEntries(content->payload());
  if (!entries) return std::nullopt;
  return ConnectionCacheFile{content->stamp, std::move(*entries)};
}

bool WriteConnectionCache(const std::string& dbPath, const FileStamp& stamp,
                          const std::vector<CtEntry>& entries) {
  const std::optional<std::string> path = CachePathFor(kConnectionCacheKind, dbPath);
  if (!path) return false;
  return WriteCacheFile(*path, kConnectionCacheKind, kConnectionCacheVersion, dbPath, stamp,
                        SerializeConnectionEntries(entries));
}

void AppendToConnectionCache(const std::string& dbPath, const FileStamp& before,
                             std::vector<CtEntry> added) {
  if (added.empty() || before.size < 0) return;
  std::optional<ConnectionCacheFile> cache = ReadConnectionCache(dbPath);
  // A database that was empty needs no earlier cache.
  if (!cache && before.size == 0) cache = ConnectionCacheFile{before, {}};
  if (!cache || cache->stamp != before) return;
  for (CtEntry& e : added) cache->entries.push_back(std::move(e));
  WriteConnectionCache(dbPath, StampOf(dbPath), cache->entries);
}

std::vector<std::optional<CtEntry>> AlignEntries(std::vector<CtEntry> cached,
                                                 const std::vector<std::string>& names) {
  // The usual case: the same names in the same order.
  if (cached.size() == names.size() &&
      std::equal(names.begin(), names.end(), cached.begin(),
                 [](const std::string& n, const CtEntry& e) { return n == e.name; })) {
    std::vector<std::optional<CtEntry>> out;
    out.reserve(names.size());
    for (CtEntry& e : cached) out.emplace_back(std::move(e));
    return out;
  }
  std::unordered_multimap<std::string_view, size_t> byName;
  byName.reserve(cached.size());
  // Inserted from the back so that equal_range meets them in file order.
  for (size_t i = cached.size(); i-- > 0;) byName.emplace(cached[i].name, i);
  std::vector<bool> used(cached.size(), false);
  std::vector<std::optional<CtEntry>> out(names.size());
  for (size_t r = 0; r < names.size(); ++r) {
    auto [lo, hi] = byName.equal_range(names[r]);
    size_t pick = SIZE_MAX;
    for (auto it = lo; it != hi; ++it) {
      if (!used[it->second] && (pick == SIZE_MAX || it->second < pick)) pick = it->second;
    }
    // Two records of one name share one MOL file: a used entry still serves.
    if (pick == SIZE_MAX && lo != hi) {
      out[r] = cached[lo->second];
      continue;
    }
    if (pick == SIZE_MAX) continue;
    used[pick] = true;
    out[r] = cached[pick];  // a copy: a later record of the same name may need it too
  }
  return out;
}

void RealignConnectionCache(const std::string& dbPath) {
  std::optional<ConnectionCacheFile> cache = ReadConnectionCache(dbPath);
  if (!cache) return;
  StampedBytes db;
  try {
    db = ReadStamped(dbPath);
  } catch (const RuntimeError&) {
    return;
  }
  if (!db.stable) return;
  std::vector<std::string> names;
  RecordReader reader(db.bytes);
  for (RecordLines r; reader.Next(r);) names.emplace_back(BeforeFirst(r.name, '.'));
  std::vector<CtEntry> entries;
  entries.reserve(names.size());
  for (std::optional<CtEntry>& e : AlignEntries(std::move(cache->entries), names)) {
    if (!e) return;
    entries.push_back(std::move(*e));
  }
  WriteConnectionCache(dbPath, db.stamp, entries);
}

}  // namespace vuduzez
