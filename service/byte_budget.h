#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

namespace orizume::service {

// A number of bytes that many threads take shares of, none beyond it.
class ByteBudget {
public:
    explicit ByteBudget(std::size_t bytes) : left_(bytes) {}
    ByteBudget(const ByteBudget&) = delete;
    ByteBudget& operator=(const ByteBudget&) = delete;

    // Bytes of the budget, given back when it ends.
    class Share {
    public:
        Share() = default;
        Share(ByteBudget& budget, std::size_t bytes) : budget_(&budget), bytes_(bytes) {}
        Share(Share&& other) noexcept
            : budget_(std::exchange(other.budget_, nullptr)), bytes_(other.bytes_) {}
        Share& operator=(Share&& other) noexcept {
            std::swap(budget_, other.budget_);
            std::swap(bytes_, other.bytes_);
            return *this;
        }
        ~Share() {
            if (budget_ != nullptr) {
                budget_->left_ += bytes_;
            }
        }
        explicit operator bool() const { return budget_ != nullptr; }

    private:
        ByteBudget* budget_ = nullptr;
        std::size_t bytes_ = 0;
    };

    // A share of `bytes`, or an empty one when fewer are left.
    Share take(std::size_t bytes) {
        std::size_t left = left_.load(std::memory_order_relaxed);
        while (left >= bytes) {
            if (left_.compare_exchange_weak(left, left - bytes)) {
                return Share(*this, bytes);
            }
        }
        return {};
    }

    std::size_t left() const { return left_; }

private:
    std::atomic<std::size_t> left_;
};

} // namespace orizume::service
