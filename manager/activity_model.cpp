// The activity tree's rebuild and update rules.
#include "manager/activity_model.h"

#include <cstdio>

#include "manager/manager_texts.h"

namespace qlm::manager {

namespace {

std::vector<std::string> SplitColons(const std::string& key) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = key.find(':', start);
    parts.push_back(key.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) {
      return parts;
    }
    start = colon + 1;
  }
}

std::string PortText(const std::string& port) {
  char text[300];
  std::snprintf(text, sizeof text, kActivityPortFormat, port.substr(0, 256).c_str());
  return text;
}

}  // namespace

CActivityModel::CActivityModel() { Rebuild(); }

void CActivityModel::SetDaemonKeys(const std::vector<std::string>& keys) {
  ClearKeys();
  for (const std::string& key : keys) {
    keys_[key] = 0;
    daemon_keys_.insert(key);
  }
  ++revision_;
}

void CActivityModel::ClearKeys() {
  keys_.clear();
  daemon_keys_.clear();
  ++revision_;
}

CActivityModel::ItemId CActivityModel::Insert(ItemId parent, const std::string& text) {
  const ItemId id = next_id_++;
  items_[id] = Item{text, parent, {}, false};
  if (parent != 0) {
    items_[parent].children.push_back(id);
  }
  return id;
}

void CActivityModel::Delete(ItemId id) {
  auto it = items_.find(id);
  if (it == items_.end()) {
    return;
  }
  for (ItemId child : std::vector<ItemId>(it->second.children)) {
    Delete(child);
  }
  const ItemId parent = items_[id].parent;
  if (parent != 0 && items_.count(parent) != 0) {
    auto& siblings = items_[parent].children;
    std::erase(siblings, id);
  }
  items_.erase(id);
}

void CActivityModel::Rebuild() {
  items_.clear();
  root_ = Insert(0, kActivityRootText);
  // Every item of the earlier tree is gone: the daemon keys are entered
  // again, their prefixes are re-entered with them, and connection lines
  // return with their connection's next activity message.
  std::vector<std::string> daemon_keys;
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (daemon_keys_.count(it->first) != 0) {
      it->second = 0;
      daemon_keys.push_back(it->first);
      ++it;
    } else {
      it = keys_.erase(it);
    }
  }
  for (const std::string& key : daemon_keys) {
    InsertKeyParts(key);
  }
  Item& root = items_[root_];
  if (!root.children.empty()) {
    root.expanded = true;
    for (ItemId address : root.children) {
      items_[address].expanded = true;
    }
  }
  ++revision_;
}

void CActivityModel::InsertKeyParts(const std::string& key) {
  const std::vector<std::string> parts = SplitColons(key);
  ItemId parent = root_;
  std::string prefix;
  for (size_t i = 0; i < parts.size(); ++i) {
    prefix += (i == 0 ? "" : ":") + parts[i];
    const std::string text = i + 1 < parts.size() ? parts[i] : PortText(parts[i]);
    auto found = keys_.find(prefix);
    if (found != keys_.end() && found->second != 0) {
      parent = found->second;
      continue;
    }
    parent = Insert(parent, text);
    keys_[prefix] = parent;
  }
}

void CActivityModel::AddActivity(const link::CActivityMsg& activity) {
  const std::string k = activity.key + ":" + activity.connection;
  auto line = keys_.find(k);
  if (!activity.text.empty()) {
    if (line != keys_.end() && line->second != 0 && items_.count(line->second) != 0) {
      items_[line->second].text = activity.text;
    } else {
      auto daemon = keys_.find(activity.key);
      if (daemon == keys_.end() || daemon->second == 0 || items_.count(daemon->second) == 0) {
        return;  // a daemon the tree does not know
      }
      keys_[k] = Insert(daemon->second, activity.text);
      ExpandPath(daemon->second);
    }
  } else {
    if (line == keys_.end()) {
      return;
    }
    if (line->second != 0) {
      Delete(line->second);
    }
    keys_.erase(line);
  }
  ++revision_;
}

void CActivityModel::SetRootStatus(const std::string& text) {
  std::string label = kActivityRootStatusPrefix + text;
  if (label.size() > kRootStatusLimit) {
    label.resize(kRootStatusLimit);
  }
  items_[root_].text = label;
  ++revision_;
}

void CActivityModel::ExpandPath(ItemId id) {
  for (; id != 0 && items_.count(id) != 0; id = items_[id].parent) {
    items_[id].expanded = true;
  }
}

void CActivityModel::SetExpanded(ItemId id, bool expanded) {
  auto it = items_.find(id);
  if (it != items_.end() && it->second.expanded != expanded) {
    it->second.expanded = expanded;
    ++revision_;
  }
}

CActivityModel::ItemId CActivityModel::Lookup(const std::string& key, bool* known) const {
  auto it = keys_.find(key);
  if (known != nullptr) {
    *known = it != keys_.end();
  }
  return it == keys_.end() ? 0 : it->second;
}

std::string CActivityModel::Dump() const {
  std::string out;
  DumpItem(root_, 0, &out);
  return out;
}

void CActivityModel::DumpItem(ItemId id, int depth, std::string* out) const {
  const Item& item = items_.at(id);
  out->append(static_cast<size_t>(depth) * 2, ' ');
  out->append(item.text);
  out->push_back('\n');
  for (ItemId child : item.children) {
    DumpItem(child, depth + 1, out);
  }
}

}  // namespace qlm::manager
