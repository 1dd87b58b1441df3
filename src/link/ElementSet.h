#pragma once

#include "core/Failure.h"

#include <functional>
#include <map>
#include <memory>

namespace znr {

// A set of transport elements indexed by connection index. Element 0 exists from the start and
// never carries a connection; elements 1 and up are created and destroyed at run time, and an
// index between them may be empty.
//
// `make` builds the element of an index; `wire` (optional) is called once for every element the
// set creates, element 0 included, so the owner can connect its signals.
//
// destroy() deletes the element at once, except while one of the element's own events is being
// handled: the element is then retired (closed, silenced, cut off) and deleted later, so a
// handler may destroy the element that called it.
template <class T> class ElementSet {
public:
    using Factory = std::function<std::unique_ptr<T>(int index)>;
    using Wire = std::function<void(T&)>;

    explicit ElementSet(Factory make, Wire wire = {})
        : make_(std::move(make)), wire_(std::move(wire)) {
        add(0);
    }
    ~ElementSet() {
        while (!elements_.empty())
            discard(elements_.begin());
    }
    ElementSet(const ElementSet&) = delete;
    ElementSet& operator=(const ElementSet&) = delete;

    // A fresh element for `index` (>= 1); an element already there is destroyed first.
    T& create(int index) {
        requireConnectionIndex(index);
        destroy(index);
        return add(index);
    }

    // Leaves `index` (>= 1) empty; nothing happens when it already is.
    void destroy(int index) {
        requireConnectionIndex(index);
        const auto it = elements_.find(index);
        if (it != elements_.end())
            discard(it);
    }

    bool exists(int index) const { return elements_.count(index) != 0; }

    // The largest index that has an element; 0 when only element 0 exists.
    int highestIndex() const { return elements_.rbegin()->first; }

    // The element of `index`; Failure 340 when the index is empty.
    T& at(int index) const {
        const auto it = elements_.find(index);
        if (it == elements_.end())
            throw Failure(340, "Control array element '" + QByteArray::number(index) +
                                   "' doesn't exist");
        return *it->second;
    }

private:
    T& add(int index) {
        std::unique_ptr<T> element = make_(index);
        T& ref = *element;
        elements_[index] = std::move(element);
        if (wire_)
            wire_(ref);
        return ref;
    }

    void discard(typename std::map<int, std::unique_ptr<T>>::iterator it) {
        std::unique_ptr<T> element = std::move(it->second);
        elements_.erase(it);
        element->retire();
        if (element->inEmission())
            element.release()->deleteLater();
    }

    static void requireConnectionIndex(int index) {
        if (index < 1)
            throw Failure::invalidArgument();
    }

    Factory make_;
    Wire wire_;
    std::map<int, std::unique_ptr<T>> elements_;
};

} // namespace znr
