// A shared library that loads but exports no plug-in entry.
