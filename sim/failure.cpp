// Every failure of the tools put into words, here alone: the kinds say what happened, the act what
// the tool was doing, and the sentences a player reads come from them.
#include "sim/failure.h"
#include "sim/files.h"

#include <fmt/format.h>

namespace sim {

std::string reasonText(const Failure& failure)
{
    switch (failure.kind) {
    case FailureKind::Folder:
        return "it is a folder";
    case FailureKind::NotAFile:
        return "it is a pipe or a device, not a file";
    case FailureKind::TooLarge:
        return fmt::format("it is larger than {} MiB", failure.limitBytes >> 20);
    case FailureKind::NoSpace:
        return "no space left on the disk";
    case FailureKind::Quota:
        return "the disk quota is used up";
    case FailureKind::TooBig:
        return "the file would be larger than this system allows";
    case FailureKind::ReadOnly:
        return "the disk is read-only";
    case FailureKind::Denied:
        return "permission denied";
    case FailureKind::NotOurs:
        return "permission denied: it belongs to another user in a shared folder";
    case FailureKind::InUse:
        return "the file is open in another program";
    case FailureKind::NoFolder:
        return "there is no such folder";
    case FailureKind::NotAFolder:
        return "a part of the path is not a folder";
    case FailureKind::PipeClosed:
        return "the program reading the pipe went away";
    case FailureKind::NameTooLong:
        return "the name is too long for this system";
    default:
        return failure.what;
    }
}

namespace {

std::string settingsText(const Failure& failure)
{
    const std::string file = shownPath(failure.path);
    switch (failure.kind) {
    case FailureKind::Folder:
        return file + " is a folder, not a settings file";
    case FailureKind::NotAFile:
        return file + " is a pipe or a device, not a settings file: the plug-in reads Tarnwick.ini "
                      "as a file, so save the text as one";
    case FailureKind::TooLarge:
        return fmt::format("{} is larger than {} MiB: not a settings file", file,
                           failure.limitBytes >> 20);
    default:
        return "cannot read " + file + ": " + failure.what;
    }
}

} // namespace

std::string failureText(const Failure& failure)
{
    switch (failure.act) {
    case FailureAct::ReadSettings:
        return settingsText(failure);
    case FailureAct::Write:
        return "cannot write " + failure.output + " to " + shownPath(failure.path) + ": " +
               reasonText(failure) +
               (failure.kept ? " (" + failure.output + " already there is as it was)" : "");
    case FailureAct::WriteIn:
        return "cannot write " + failure.output + " in " + shownPath(failure.path) + ": " +
               reasonText(failure);
    case FailureAct::Add:
        return "cannot add " + failure.output + " to " + shownPath(failure.path) + ": " +
               reasonText(failure) + (failure.kept ? " (the log there is as it was)" : "");
    case FailureAct::Use:
        break;
    }
    if (failure.path.empty()) {
        return failure.what;
    }
    const std::string line = failure.line > 0 ? ":" + std::to_string(failure.line) : "";
    return shownPath(failure.path) + line + ": " + failure.what;
}

Failure toldAs(Failure failure, FailureAct act, std::string output)
{
    failure.act = act;
    failure.output = std::move(output);
    return failure;
}

} // namespace sim
