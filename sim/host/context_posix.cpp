// The script context on Boost.Context: a switch costs a few dozen nanoseconds, so replays of
// millions of frames are not bound by it. Each switch is announced to AddressSanitizer, when it
// is there, so that it knows which stack is live.
#include "sim/host/context.h"

#include <boost/context/fiber.hpp>
#include <boost/context/fixedsize_stack.hpp>

#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace sim {
namespace {

namespace ctx = boost::context;

constexpr std::size_t scriptStackBytes = 1024 * 1024;

ctx::fiber scriptFiber;
ctx::fiber hostFiber;
bool running = false;
bool returned = true;

struct StackBounds {
    const void* bottom = nullptr;
    std::size_t size = 0;
};
StackBounds hostStack;
StackBounds scriptStack;
void* hostFakeStack = nullptr;
void* scriptFakeStack = nullptr;

#if defined(__SANITIZE_ADDRESS__)
void startSwitch(void** fakeStack, const StackBounds& to)
{
    __sanitizer_start_switch_fiber(fakeStack, to.bottom, to.size);
}
void finishSwitch(void* fakeStack, StackBounds* from)
{
    __sanitizer_finish_switch_fiber(fakeStack, from != nullptr ? &from->bottom : nullptr,
                                    from != nullptr ? &from->size : nullptr);
}
#else
void startSwitch(void**, const StackBounds&) {}
void finishSwitch(void*, StackBounds*) {}
#endif

// Back on the script's stack after a yield, whether the yield returns or is unwound.
struct BackInScript {
    ~BackInScript() { finishSwitch(scriptFakeStack, &hostStack); }
};

} // namespace

void contextStart(ScriptMain script)
{
    if (scriptFiber) {
        // Dropping a suspended script unwinds its stack, so its locals are released.
        startSwitch(&hostFakeStack, scriptStack);
        scriptFiber = ctx::fiber();
        finishSwitch(hostFakeStack, nullptr);
    }
    returned = script == nullptr;
    if (returned) {
        return;
    }
    ctx::fixedsize_stack allocator(scriptStackBytes);
    const ctx::stack_context stack = allocator.allocate();
    scriptStack = {static_cast<const char*>(stack.sp) - stack.size, stack.size};
    scriptFiber = ctx::fiber(std::allocator_arg, ctx::preallocated(stack.sp, stack.size, stack),
                             allocator, [script](ctx::fiber&& resumer) {
                                 finishSwitch(nullptr, &hostStack);
                                 hostFiber = std::move(resumer);
                                 try {
                                     script();
                                 } catch (const ctx::detail::forced_unwind&) {
                                     startSwitch(nullptr, hostStack); // this stack is done
                                     throw;
                                 }
                                 returned = true;
                                 startSwitch(nullptr, hostStack);
                                 return std::move(hostFiber);
                             });
}

bool contextResume()
{
    if (returned || !scriptFiber) {
        return false;
    }
    running = true;
    startSwitch(&hostFakeStack, scriptStack);
    scriptFiber = std::move(scriptFiber).resume();
    finishSwitch(hostFakeStack, nullptr);
    running = false;
    return !returned;
}

void contextYield()
{
    const BackInScript back;
    startSwitch(&scriptFakeStack, hostStack);
    hostFiber = std::move(hostFiber).resume();
}

bool inScriptContext()
{
    return running;
}

} // namespace sim
