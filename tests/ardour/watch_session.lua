-- Loads the check's session, plays it in real time from frame 0 to ARDOUR_CHECK_FRAMES and
-- prints the plug-in's State, Slot and Slice output controls whenever they change, as
-- "controls FRAME STATE SLOT SLICE" (FRAME: the transport's frame when the change was seen),
-- after the process cycle's length ("cycle N frames"),
-- the way a musician watching Ardour's generic controls would see them.
local check = dofile(os.getenv("ARDOUR_CHECK_TESTS") .. "/open_session.lua")
local say, fail, session, frames = check.say, check.fail, check.session, check.frames
local plugin = check.plugin
local insert = plugin:to_insert():plugin(0)
local function control_index(label)
  for index = 0, insert:parameter_count() - 1 do
    local id, ok = insert:nth_parameter(index, false)
    if ok[2] and insert:parameter_is_control(id) and insert:parameter_label(id) == label then
      return index
    end
  end
  fail("the plug-in has no control " .. label)
end
local state, slot, slice = control_index("State"), control_index("Slot"), control_index("Slice")

local function seconds_from_now(seconds)
  return ARDOUR.LuaAPI.monotonic_time() + seconds * 1e6
end
local last = ""
local function poll()
  local now = string.format("%d %d %d", ARDOUR.LuaAPI.get_processor_param(plugin, state, false),
      ARDOUR.LuaAPI.get_processor_param(plugin, slot, false),
      ARDOUR.LuaAPI.get_processor_param(plugin, slice, false))
  if now ~= last then
    say(string.format("controls %d %s", session:transport_sample(), now))
    last = now
  end
end

say("cycle " .. session:get_block_size() .. " frames")
-- A moment standing at frame 0 first, as after opening a session.
ARDOUR.LuaAPI.usleep(300000)
poll()
session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
local give_up = seconds_from_now(frames / session:nominal_sample_rate() + 10)
while session:transport_sample() < frames do
  if ARDOUR.LuaAPI.monotonic_time() > give_up then fail("the transport did not roll") end
  poll()
  ARDOUR.LuaAPI.usleep(2000)
end
session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
give_up = seconds_from_now(10)
while session:transport_rolling() do
  if ARDOUR.LuaAPI.monotonic_time() > give_up then fail("the transport did not stop") end
  ARDOUR.LuaAPI.usleep(1000)
end
say("stopped at frame " .. session:transport_sample())
close_session()
quit()
