-- Creates the check's session: 120 BPM in 4/4, one stereo track named "Slicer" with the plug-in
-- as its first processor and its controls set, then saves it. Configured from the environment:
--   ARDOUR_CHECK_DIR, ARDOUR_CHECK_NAME  session folder and name
--   ARDOUR_CHECK_RATE                    sample rate
--   ARDOUR_CHECK_URI                     the LV2 plug-in's URI
--   ARDOUR_CHECK_CONTROLS                "Name=value,..." by the controls' names
local function say(...) print(...) io.stdout:flush() end
local function fail(message) say("FAIL: " .. message) os.exit(1) end

local dir = os.getenv("ARDOUR_CHECK_DIR")
local name = os.getenv("ARDOUR_CHECK_NAME")
local rate = tonumber(os.getenv("ARDOUR_CHECK_RATE"))
local uri = os.getenv("ARDOUR_CHECK_URI") or ""
local controls = os.getenv("ARDOUR_CHECK_CONTROLS") or ""

if not AudioEngine:set_backend("None (Dummy)", "", "") then fail("no Dummy backend") end
local session = create_session(dir, name, rate)
if not session then fail("cannot create the session") end

local tempo_map = Temporal.TempoMap.fetch_writable()
tempo_map:set_tempo(Temporal.Tempo(120, 120, 4), Temporal.timepos_t(0))
tempo_map:set_meter(Temporal.Meter(4, 4), Temporal.timepos_t(0))
Temporal.TempoMap.update(tempo_map)

local tracks = session:new_audio_track(2, 2, nil, 1, "Slicer", ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, true, false)
if tracks:size() ~= 1 then fail("cannot add the track") end
local track = tracks:front()

-- Ardour connects a new track to the master bus from a thread of its own, which may not have
-- done so yet when the session is saved (it had not on a busy machine): connect it here.
local master = session:master_out()
for channel = 0, 1 do
  local output = track:output():audio(channel)
  local destination = master:input():audio(channel):name()
  if not output:connected_to(destination) then output:connect(destination) end
  if not output:connected_to(destination) then fail("cannot connect the track to the master bus") end
end

-- Without a URI the track stays empty: Ardour's own path, for comparison.
if uri ~= "" then
  local plugin = ARDOUR.LuaAPI.new_plugin(session, uri, ARDOUR.PluginType.LV2, "")
  if plugin:isnil() then fail("Ardour finds no LV2 plug-in " .. uri) end
  if track:add_processor_by_index(plugin, 0, nil, true) ~= 0 then fail("cannot add the plug-in") end
  say("plug-in: " .. plugin:display_name())

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
  for label, value in controls:gmatch("([^,=]+)=([^,]+)") do
    local index = control_index(label)
    if not ARDOUR.LuaAPI.set_processor_param(plugin, index, tonumber(value))
        or ARDOUR.LuaAPI.get_processor_param(plugin, index, false) ~= tonumber(value) then
      fail("cannot set " .. label .. " to " .. value)
    end
    say(label .. " = " .. value)
  end
end

if session:save_state("", false, false, false, false, false) ~= 0 then fail("cannot save") end
close_session()
quit()
