-- Reopens a saved snapshot and prints "Monitor VALUE", VALUE being what Vellicor, the
-- track's first plug-in, itself reports for its parameter.
--
-- ardour7-lua read_monitor.lua FOLDER SNAPSHOT

ARDOUR.config ():set_hide_dummy_backend (false)
assert (load_session (arg[1], arg[2]), "Ardour could not open " .. arg[2])
for missing in Session:unknown_processors ():iter () do
	error ("Ardour could not restore the plug-in " .. missing)
end
local plugin = Session:route_by_name ("Programme"):nth_plugin (0)
assert (not plugin:isnil () and plugin:display_name () == "Vellicor",
	"Vellicor is not the track's first plug-in")
print (string.format ("Monitor %.9g", ARDOUR.LuaAPI.get_processor_param (plugin, 0)))
close_session ()
