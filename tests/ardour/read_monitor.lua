-- Reopens a saved snapshot and prints "Monitor VALUE" for each Vellicor in it, VALUE
-- being what the plug-in itself reports for its parameter.
--
-- ardour7-lua read_monitor.lua FOLDER SNAPSHOT

local folder, snapshot = arg[1], arg[2]
ARDOUR.config ():set_hide_dummy_backend (false)
assert (load_session (folder, snapshot), "Ardour could not open " .. snapshot)
for missing in Session:unknown_processors ():iter () do
	error ("Ardour could not restore the plug-in " .. missing)
end
for route in Session:get_routes ():iter () do
	local i = 0
	local plugin = route:nth_plugin (0)
	while not plugin:isnil () do
		if plugin:display_name () == "Vellicor" then
			print (string.format ("Monitor %.9g", ARDOUR.LuaAPI.get_processor_param (plugin, 0)))
		end
		i = i + 1
		plugin = route:nth_plugin (i)
	end
end
close_session ()
