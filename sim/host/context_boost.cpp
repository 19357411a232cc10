// The script context on Boost.Context: a switch costs a few dozen nanoseconds, so replays of
// millions of frames are not bound by it.
#include "sim/host/context.h"

#include <boost/context/fiber.hpp>
#include <boost/context/fixedsize_stack.hpp>

#include <utility>

namespace sim {
namespace {

namespace ctx = boost::context;

constexpr std::size_t scriptStackBytes = 1024 * 1024;

ctx::fiber scriptFiber;
ctx::fiber hostFiber;
bool running = false;
bool returned = true;

} // namespace

void contextStart(ScriptMain script)
{
    // Dropping a suspended script unwinds its stack, so its locals are released.
    scriptFiber = ctx::fiber();
    returned = script == nullptr;
    if (returned) {
        return;
    }
    scriptFiber = ctx::fiber(std::allocator_arg, ctx::fixedsize_stack(scriptStackBytes),
                             [script](ctx::fiber&& resumer) {
                                 hostFiber = std::move(resumer);
                                 script();
                                 returned = true;
                                 return std::move(hostFiber);
                             });
}

bool contextResume()
{
    if (returned || !scriptFiber) {
        return false;
    }
    running = true;
    scriptFiber = std::move(scriptFiber).resume();
    running = false;
    return !returned;
}

void contextYield()
{
    hostFiber = std::move(hostFiber).resume();
}

bool inScriptContext()
{
    return running;
}

} // namespace sim
