// A visitor made of lambdas, one per alternative of a variant.
#pragma once

namespace torvane {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

} // namespace torvane
