// The charts' writer, built as the page's (html.h): every argument of a format is escaped, so a
// title, an application's name or a label reaches the SVG only as text, and the chart's numbers
// pass as they are. Markup made apart (a row of marks) goes in as html::Markup, made by
// html::format or said to be markup by html::trusted. The stream itself is out of reach.
#pragma once

#include "sim/report/html.h"

#include <ostream>

namespace sim::svg {

class Writer {
  public:
    explicit Writer(std::ostream& out) : out_(out) {}
    template <typename... Args>
    void put(fmt::format_string<html::Escaped<Args>...> markup, const Args&... args)
    {
        fmt::print(out_, markup, html::escaped(args)...);
    }
    void put(const html::Markup& markup) { out_ << markup.text; }

  private:
    std::ostream& out_;
};

} // namespace sim::svg
