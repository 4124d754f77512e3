// The one out-of-line piece of Boost.Context's ucontext fibers. The sanitizer
// build switches fibers with ucontext (BOOST_USE_UCONTEXT) so that
// AddressSanitizer is told of every stack switch (BOOST_USE_ASAN); the rest of
// that implementation is in the headers, but the distribution's library is
// built for fcontext only and lacks the record of the running context.
//
// Compiled only when BOOST_USE_UCONTEXT is defined (platform/CMakeLists.txt).

#include <boost/context/fiber.hpp>

#if !defined(BOOST_USE_UCONTEXT)
#error "fiber_ucontext_record.cpp belongs to the ucontext fiber build only"
#endif

namespace boost::context::detail {

// The context that runs on this system thread. Before any fiber runs it is the
// thread's own context, which a fiber switches back to; its record lives as
// long as the thread, so no fiber outlives what it returns to. The records of
// the fibers themselves sit on their stacks and belong to the fiber objects.
fiber_activation_record*& fiber_activation_record::current() noexcept {
    thread_local fiber_activation_record threadContext;
    thread_local fiber_activation_record* running = &threadContext;
    return running;
}

} // namespace boost::context::detail
