// Must not compile: a name from a player's file written into a chart as markup, unescaped. It goes
// in only as an argument of a format (escaped) or said to be markup (html::trusted).
#include "sim/report/svg_writer.h"

#include <string>

void writeName(sim::svg::Writer& out, const std::string& name)
{
    out.put(name);
}
