-- Builds a session for the Ardour checks: one stereo track playing the programme as one
-- region without fades, a range over it, Vellicor (FORMAT vst or lv2) inserted first, and
-- one snapshot per SNAPSHOT=VALUE argument with the Monitor parameter at that value.
--
-- ardour7-lua make_session.lua FOLDER NAME PROGRAMME FRAMES FORMAT SNAPSHOT=VALUE...
-- PROGRAMME is a WAV file at 48 kHz: a 44-byte header, then FRAMES stereo frames as
-- interleaved little-endian 32-bit floats.

local folder, name, programme, frames, format = arg[1], arg[2], arg[3], tonumber (arg[4]), arg[5]
assert (frames and #arg >= 6 and (format == "vst" or format == "lv2"),
	"usage: make_session.lua FOLDER NAME PROGRAMME FRAMES vst|lv2 SNAPSHOT=VALUE...")

-- The dummy backend needs no sound card and is the one offered to headless sessions, but
-- this build hides it unless asked.
ARDOUR.config ():set_hide_dummy_backend (false)
assert (create_session (folder, name, 48000), "Ardour could not create the session")
assert (AudioEngine:current_backend_name ():find ("Dummy"),
	"session runs on " .. AudioEngine:current_backend_name () .. ", not the dummy backend")

local route = Session:new_audio_track (2, 2, nil, 1, "Programme",
	ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
local track = route:to_track ()

-- Ardour's Lua has no file import, so the programme reaches the track as a bounce of the
-- player plug-in. The track stays inactive until then: the engine's own cycles would run
-- the player, and it would start the bounce part-way through the programme.
route:set_active (false, nil)
local player = ARDOUR.LuaAPI.new_luaproc (Session, "Vellicor test programme")
assert (not player:isnil (), "the programme player script is not in Ardour's script folder")
local memory = player:to_insert ():plugin (0):to_luaproc ():shmem ()
memory:allocate (1 + 2 * frames)
memory:to_int (0):array ()[1] = frames
local samples = memory:to_float (1):array ()
local raw = ARDOUR.LuaAPI.file_get_contents (programme)
assert (#raw == 44 + 8 * frames, programme .. " does not hold " .. frames .. " stereo frames")
local at = 45
for i = 1, frames do
	samples[i], samples[frames + i], at = string.unpack ("<ff", raw, at)
end

assert (route:add_processor_by_index (player, 0, nil, true) == 0, "could not insert the programme player")
-- Up to and including the player only: the fader after it eases in from silence.
local region = track:bounce_range (0, frames, ARDOUR.InterThreadInfo (), player, true, "programme", false)
assert (not region:isnil (), "Ardour could not bounce the programme")
assert (route:remove_processor (player, nil, true) == 0, "could not remove the programme player")
route:set_active (true, nil)

-- New regions get short fades in and out; the programme must play as it is.
local audio = region:to_audioregion ()
audio:set_fade_in_active (false)
audio:set_fade_out_active (false)
track:playlist ():add_region (region, Temporal.timepos_t (0), 1, false, 0, 0, false)
local regions = track:playlist ():region_list ()
assert (regions:size () == 1, "expected one region on the track, found " .. regions:size ())
local placed = regions:table ()[1]:to_audioregion ()
assert (placed:position ():samples () == 0 and placed:length ():samples () == frames,
	"the region does not span the programme")
assert (not placed:fade_in_active () and not placed:fade_out_active (), "the region still fades")
-- ardour7-export exports the session range, which Ardour's Lua cannot set: ardour_check.py
-- makes this range over the programme the session range in the saved snapshots.
Session:locations ():add_range (Temporal.timepos_t (0), Temporal.timepos_t (frames))

local vellicor
if format == "lv2" then
	vellicor = ARDOUR.LuaAPI.new_plugin (Session, "urn:quillotone:vellicor", ARDOUR.PluginType.LV2, "")
else
	vellicor = ARDOUR.LuaAPI.new_plugin (Session, "Vellicor", ARDOUR.PluginType.LXVST, "")
end
assert (not vellicor:isnil (), "Ardour does not know Vellicor as " .. format)
assert (route:add_processor_by_index (vellicor, 0, nil, true) == 0, "could not insert Vellicor")

for i = 6, #arg do
	local snapshot, value = arg[i]:match ("^(.+)=(.+)$")
	assert (snapshot and tonumber (value), "not SNAPSHOT=VALUE: " .. arg[i])
	assert (ARDOUR.LuaAPI.set_processor_param (vellicor, 0, tonumber (value)), "could not set Monitor")
	assert (Session:save_state (snapshot, false, false, false, false, false) == 0,
		"could not save snapshot " .. snapshot)
end
close_session ()
