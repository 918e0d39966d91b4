// A shared library that exports nothing the daemon looks for: it loads, but
// neither hook procedure is in it.
namespace {
[[maybe_unused]] int unused = 0;
}
