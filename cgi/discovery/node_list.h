#pragma once
// The units found by one scan, kept sorted by the text of their IP address.

#include <cstddef>
#include <memory>

#include "node.h"

namespace discovery {

class NodeList {
 public:
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  NodeList(NodeList&&) = default;
  NodeList& operator=(NodeList&&) = default;
  ~NodeList() { clear(); }

  // Takes the node into the list in byte-wise order of its IP address text (so
  // 10.0.0.10 comes before 10.0.0.2). Returns the node, or nullptr when a node with
  // the same IP address is already listed; the new node is then dropped.
  Node* insert(std::unique_ptr<Node> node);

  const Node* front() const { return head_.get(); }
  Node* front() { return head_.get(); }
  std::size_t size() const { return size_; }

  // Frees the nodes one by one: a recursive chain of destructors could overflow the
  // stack on a long list.
  void clear();

 private:
  std::unique_ptr<Node> head_;
  std::size_t size_ = 0;
};

}  // namespace discovery
