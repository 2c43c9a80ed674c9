// A shared library that loads but exports no plug-in entry.
extern "C" int notAPluginEntry() { return 0; }
