#include "node_list.h"

#include <cstring>

namespace discovery {

Node* NodeList::insert(std::unique_ptr<Node> node) {
  std::unique_ptr<Node>* link = &head_;
  while (*link) {
    const int order = std::strcmp((*link)->ipAddress.c_str(), node->ipAddress.c_str());
    if (order == 0) {
      return nullptr;
    }
    if (order > 0) {
      break;
    }
    link = &(*link)->next;
  }
  node->next = std::move(*link);
  *link = std::move(node);
  ++size_;
  return link->get();
}

void NodeList::clear() {
  while (head_) {
    head_ = std::move(head_->next);
  }
  size_ = 0;
}

}  // namespace discovery
