#pragma once
// The exchange sort the harmony engine and key analysis rank by: for every
// position k, each later value larger than the one at k is swapped into k.
// It is not stable, and which of two equal values ends first decides chords,
// so every ranking of the engine goes through this one function. Pure; any
// thread.

#include <cstddef>
#include <span>
#include <utility>

namespace korvanta {

// Sorts values in descending order and applies every swap to indices as well
// (the caller fills them, usually 0..n-1, to learn where each value came
// from). indices may be shorter than values only if it is empty.
template <typename Value>
void exchangeSort(std::span<Value> values, std::span<int> indices) {
    const std::size_t n = values.size();
    const bool withIndices = indices.size() >= n;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        for (std::size_t l = k; l < n; ++l) {
            if (values[k] < values[l]) {
                std::swap(values[k], values[l]);
                if (withIndices) std::swap(indices[k], indices[l]);
            }
        }
    }
}

} // namespace korvanta
