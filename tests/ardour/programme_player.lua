-- Plays the test programme from shared memory, once, from its first frame. The session
-- script leaves it there: the frame count as one integer, then the left channel's frames,
-- then the right's. After its end: silence.

ardour { ["type"] = "dsp", name = "Vellicor test programme", category = "Utility" }

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

local played = 0

function dsp_run (ins, outs, n_samples)
	local memory = self:shmem ()
	local frames = memory:to_int (0):array ()[1]
	local count = math.max (0, math.min (n_samples, frames - played))
	for c = 1, 2 do
		ARDOUR.DSP.memset (outs[c], 0, n_samples)
		if count > 0 then
			ARDOUR.DSP.copy_vector (outs[c], memory:to_float (1 + (c - 1) * frames + played), count)
		end
	end
	played = played + n_samples
end
