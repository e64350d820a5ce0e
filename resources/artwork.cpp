// The artwork itself is compiled by rcc into an object library that
// qt_add_resources attaches to pulseward_resources and hands on to every
// program linking it. A static library still needs a source file of its own,
// and this is it; it deliberately defines nothing.
