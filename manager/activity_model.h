// The activity view's data: a tree of daemons and their open connections,
// fed by the link. Daemon keys ("address:name:port") from the daemon list
// become three levels (address, daemon name, "Port %s"); each connection is
// one line under its daemon's port node, keyed by "daemon key:connection".
// The key table maps every key to its item (0: known, item not created yet).
// Runs on the window thread only; the widget draws from it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/activity_msg.h"

namespace qlm::manager {

class CActivityModel {
 public:
  using ItemId = uint32_t;  // 0: no item
  static constexpr size_t kRootStatusLimit = 255;

  struct Item {
    std::string text;
    ItemId parent = 0;
    std::vector<ItemId> children;
    bool expanded = false;
  };

  CActivityModel();

  // MSG_DAEMON_LIST: empties the key table and enters every key with no item.
  // The caller rebuilds next.
  void SetDaemonKeys(const std::vector<std::string>& keys);
  // Deletes every item, inserts the root and an item per part of every key
  // that has none yet; expands the root and the address items.
  void Rebuild();
  // One activity line added, changed or (empty text) removed.
  void AddActivity(const link::CActivityMsg& activity);
  // The root's label: "Proxy Connections: " and `text`, cut to 255 characters.
  void SetRootStatus(const std::string& text);
  void ClearKeys();
  // The administrator opened or closed an item in the view.
  void SetExpanded(ItemId id, bool expanded);

  ItemId Root() const { return root_; }
  const Item& Get(ItemId id) const { return items_.at(id); }
  bool Exists(ItemId id) const { return items_.count(id) != 0; }
  // The key table's entry for `key`; nullopt-like 0 with `known` false when absent.
  ItemId Lookup(const std::string& key, bool* known = nullptr) const;
  size_t KeyCount() const { return keys_.size(); }
  // Counts every change, so a view knows when to redraw.
  uint64_t Revision() const { return revision_; }

  // The tree as text, one item per line, two blanks of indent per level.
  std::string Dump() const;

 private:
  ItemId Insert(ItemId parent, const std::string& text);
  void Delete(ItemId id);
  void InsertKeyParts(const std::string& key);
  void DumpItem(ItemId id, int depth, std::string* out) const;
  // Expands `id` and every item above it, so a new line is seen.
  void ExpandPath(ItemId id);

  std::map<ItemId, Item> items_;
  std::map<std::string, ItemId> keys_;
  // The keys of the last daemon list (the rest of the table is derived).
  std::set<std::string> daemon_keys_;
  ItemId root_ = 0;
  ItemId next_id_ = 1;
  uint64_t revision_ = 0;
};

}  // namespace qlm::manager
