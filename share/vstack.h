#pragma once

#include <deque>

// A queue of pointers for breadth-first walks: Pop hands out the item added first,
// despite the name. It owns nothing.
template <typename T>
class TVStack {
  public:
    void Add(T* item) { Items.push_back(item); }

    // The oldest item, taken out of the queue; null when the queue is empty.
    T* Pop() {
        if (Items.empty())
            return nullptr;
        T* item = Items.front();
        Items.pop_front();
        return item;
    }

    int Count() const { return static_cast<int>(Items.size()); }
    bool Empty() const { return Items.empty(); }

  private:
    std::deque<T*> Items;
};
