#include "note/structure_checks.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string>

#include "note/catalogue.h"

namespace movra::note {
namespace {

constexpr int kAppliedForceCode = 18;
constexpr int kFirstGroundPoint = 100;
constexpr int kLastGroundPoint = 198;
constexpr int kLastPlainNode = 99;  // mechanical ids from 100 on stand for mapped nodes

// One element touching one node, through its node list or a field.
struct Use {
  int record = 0;
  int typeCode = 0;
  int field = 0;  // the field that names the node; 0 for the node list
  bool ofItsOwn = false;
};

struct NodeKey {
  int domain;
  int id;
  bool operator<(const NodeKey& other) const {
    return domain != other.domain ? domain < other.domain : id < other.id;
  }
};

bool isGround(int id) { return id <= 0 || (id >= kFirstGroundPoint && id <= kLastGroundPoint); }

// Groups of nodes joined by elements; ground (0, negative ids, ground points) is
// group 0.
class NodeGroups {
 public:
  NodeGroups() : parent_(kNodeCount) { std::iota(parent_.begin(), parent_.end(), 0); }
  int find(int id) const {
    int root = isGround(id) || id >= kNodeCount ? 0 : id;
    while (parent_[root] != root) root = parent_[root];
    return root;
  }
  void join(int a, int b) {
    const int ra = find(a);
    const int rb = find(b);
    if (ra != rb) parent_[std::max(ra, rb)] = std::min(ra, rb);  // ground stays the root
  }

 private:
  std::vector<int> parent_;
};

class Structure {
 public:
  Structure(const HandOverImage& image, const Model& model) : image_(image) {
    const int last = std::min(model.count.elements, kElementCapacity - 1);
    for (int e = 1; e <= last; ++e) {
      const ElementEntry& element = model.elements[e];
      // An expanded group (a wheel's supports, a pulley's belt) is one statement.
      if (element.groupFirst != e) continue;
      const int record = element.statementLine;
      if (record < 0 || record >= static_cast<int>(image.records.size())) continue;
      const CatalogueEntry* entry = findKeyword(element.keyword);
      if (entry == nullptr || entry->domain == kNoDomain) continue;
      addElement(*entry, element, record);
    }
  }

  void report(std::vector<FileError>& out) const {
    for (const auto& [key, uses] : uses_) {
      if (key.domain == kMechanical) {
        checkMechanicalNode(key, uses, out);
      } else {
        checkLoneNode(key, uses, out);
      }
    }
    checkPathsToGround(out);
    checkSteadyPaths(out);
  }

 private:
  void addElement(const CatalogueEntry& entry, const ElementEntry& element, int record) {
    const StatementRecord& r = image_.records[static_cast<size_t>(record)];
    const int ids[3] = {r.firstNode, r.secondNode, r.thirdNode};
    int joined = -1;
    for (int k = 0; k < entry.nodeCount; ++k) {
      const int id = ids[k];
      const int domain = domainOf(id, entry.domain);
      if (id > 0 && id < kNodeCount) {
        uses_[{domain, id}].push_back({record, entry.typeCode, 0, entry.nodeOfItsOwn == k + 1});
      }
      if (domain == kMechanical) continue;
      if (!entry.joinsNodes) {
        // Its first field as the model starts: a source switched on by p2 is off.
        if (!isGround(id) && element.realSlots[1] != 0.0) fed_.push_back({id, record});
        continue;
      }
      if (joined >= 0) {
        paths_.join(joined, id);
        if (!entry.blocksSteadyCurrent) steadyPaths_.join(joined, id);
      }
      joined = id;
    }
    // The nodes a field names; a port of its own joins its two nodes.
    joined = -1;
    for (int k = entry.fieldNodes.first; k <= entry.fieldNodes.last; ++k) {
      const double value = element.realSlots[k];
      if (element.given[k] != 1 || value != std::floor(value) || !(value >= 0) ||
          value >= kNodeCount) {
        continue;
      }
      const int id = static_cast<int>(value);
      const int domain = domainOf(id, entry.fieldNodes.domain);
      if (id > 0) uses_[{domain, id}].push_back({record, entry.typeCode, k, false});
      if (domain == kMechanical) continue;
      if (joined >= 0) {
        paths_.join(joined, id);
        steadyPaths_.join(joined, id);
      }
      joined = id;
    }
  }

  // A node's domain is the one the editor's node table gives it; ground is shared.
  int domainOf(int id, int fallback) const {
    if (id > 0 && id < kNodeCount && image_.nodes->kind[id] != 0) return image_.nodes->kind[id];
    return fallback;
  }

  int fileLine(int record) const {
    return record < static_cast<int>(image_.recordFileLine.size()) ? image_.recordFileLine[record] : 0;
  }

  static std::string lines(const std::vector<int>& list) {
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
      text += (i == 0 ? "" : (i + 1 == list.size() ? " and " : ", ")) + std::to_string(list[i]);
    }
    return text;
  }

  // A node of a circuit, core, fluid or thermal network that one element alone
  // touches carries nothing: a wire that ends in the air, or a mistyped id.
  void checkLoneNode(const NodeKey& key, const std::vector<Use>& uses,
                     std::vector<FileError>& out) const {
    if (isGround(key.id) || uses.size() != 1 || uses[0].ofItsOwn) return;
    const Use& use = uses[0];
    const std::string node = std::string(domainName(key.domain)) + " node " + std::to_string(key.id);
    if (use.field != 0) {
      out.push_back({fileLine(use.record),
                     "warning: " + node + ", named in field " + std::to_string(use.field) +
                         ", is used by no other element: is the id mistyped?"});
      return;
    }
    out.push_back({fileLine(use.record),
                   "warning: " + node +
                       " is used by this element alone, so nothing flows through it: connect "
                       "it to the rest of the network, or check the id"});
  }

  // A mechanical node that only applied forces touch has nothing to push; one named
  // in a motor's or cylinder's field, used by nothing else and placed nowhere, is
  // most likely a typo.
  void checkMechanicalNode(const NodeKey& key, const std::vector<Use>& uses,
                           std::vector<FileError>& out) const {
    if (key.id <= 0 || key.id > kLastPlainNode) return;
    const bool onlyForces = std::all_of(uses.begin(), uses.end(), [](const Use& use) {
      return use.typeCode == kAppliedForceCode && use.field == 0;
    });
    if (onlyForces) {
      for (const Use& use : uses) {
        out.push_back({fileLine(use.record),
                       "warning: mechanical node " + std::to_string(key.id) +
                           " carries nothing but applied forces, so they act on nothing: put "
                           "a body, link or joint on it, or check the id"});
      }
      return;
    }
    // A node with nothing on it stands still where ".in" puts it: a fixed end.
    const bool placed = std::find(image_.placedNodes.begin(), image_.placedNodes.end(), key.id) !=
                        image_.placedNodes.end();
    if (uses.size() == 1 && uses[0].field != 0 && !placed) {
      out.push_back({fileLine(uses[0].record),
                     "warning: mechanical node " + std::to_string(key.id) + ", named in field " +
                         std::to_string(uses[0].field) +
                         ", is used by no other element: is the id mistyped?"});
    }
  }

  // A group of potential nodes that no element joins to ground (node 0 or a ground
  // point): only the leaks of about 1e-9 S hold it, so its starting potentials are
  // whatever the sources push into it.
  void checkPathsToGround(std::vector<FileError>& out) const {
    std::map<int, std::vector<const std::pair<const NodeKey, std::vector<Use>>*>> groups;
    for (const auto& node : uses_) {
      if (node.first.domain == kMechanical || isGround(node.first.id)) continue;
      const int root = paths_.find(node.first.id);
      if (root != 0) groups[root].push_back(&node);
    }
    for (const auto& [root, nodes] : groups) {
      std::vector<int> ids;
      std::vector<int> records;
      for (const auto* node : nodes) {
        ids.push_back(node->first.id);
        for (const Use& use : node->second) records.push_back(use.record);
      }
      std::sort(records.begin(), records.end());
      records.erase(std::unique(records.begin(), records.end()), records.end());
      std::vector<int> fileLines;
      for (int record : records) fileLines.push_back(fileLine(record));
      const std::string domain(domainName(nodes.front()->first.domain));
      out.push_back({fileLines.front(),
                     "warning: " + domain + (ids.size() == 1 ? " node " : " nodes ") + lines(ids) +
                         " (lines " + lines(fileLines) +
                         (ids.size() == 1 ? ") has" : ") have") + " no path to node 0 or a ground point 100 to 198, so their "
                         "starting values are undetermined: connect the network to ground, if "
                         "only through a large resistance"});
    }
  }

  // A source that is on in the starting solution, a one-second step from rest, and
  // feeds a node that reaches ground through capacitors alone charges them for that
  // second: 1 mA lifts 1 uF to 1000 V before the run begins.
  void checkSteadyPaths(std::vector<FileError>& out) const {
    for (const auto& [id, record] : fed_) {
      if (paths_.find(id) != 0 || steadyPaths_.find(id) == 0) continue;
      out.push_back({fileLine(record),
                     "warning: node " + std::to_string(id) +
                         ", which this source feeds, reaches ground only through capacitors: the "
                         "starting solution (one second from rest) charges them with the source's "
                         "current for that second; switch the source on with p2, or give the node "
                         "a path to ground, a large resistance if need be"});
    }
  }

  const HandOverImage& image_;
  std::map<NodeKey, std::vector<Use>> uses_;
  NodeGroups paths_;        // every element that joins its nodes
  NodeGroups steadyPaths_;  // the same without capacitors
  std::vector<std::pair<int, int>> fed_;  // node and record of each current or flow source
};

}  // namespace

std::vector<FileError> structureWarnings(const HandOverImage& image, const Model& model) {
  std::vector<FileError> warnings;
  Structure(image, model).report(warnings);
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const FileError& a, const FileError& b) { return a.line < b.line; });
  return warnings;
}

}  // namespace movra::note
