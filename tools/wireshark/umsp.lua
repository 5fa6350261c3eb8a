-- umsp.lua - Wireshark dissector for the device protocol service.
--
-- UMSP on TCP: every message is a 20-byte head (flag 0xFFFFEEEE, size, function
-- id, packet type and result, transaction number, reserved) and a body whose
-- layout depends on the function id. Messages are found by a heuristic on the
-- head flag (any TCP port; set "umsp.tcp_port" to pin one) and are reassembled
-- across TCP segments. Frame messages (0x0E01, 0x0E02 from the device) show
-- their 12-byte media head.
-- NPD on UDP 28460: the management datagrams (16-byte head, flag 0xAB8C02FF):
-- echo, device search and its answer, trace registration, log lines, debug
-- switches.
--
-- Use:  wireshark -X lua_script:tools/wireshark/umsp.lua capture.pcap
--       tshark -X lua_script:tools/wireshark/umsp.lua -r capture.pcap -T fields -e umsp.func_name
-- All fields: umsp.* and npd.* (Analyze > Display Filter Expression lists them).

local umsp = Proto("umsp", "UMSP device protocol")
local npd = Proto("npd", "NPD management datagram")

local HEAD_LEN = 20
local PACKET_FLAG = 0xFFFFEEEE
local NPD_FLAG = 0xAB8C02FF
local NPD_PORT = 28460

-- ---- Function names and result texts --------------------------------------

local func_names = {
  [0x0001] = "P0_HEARTBEAT", [0x0101] = "P1_VER_CONSULT_GET_TOKEN", [0x0102] = "P1_LOGIN",
  [0x0103] = "P1_LOGOUT", [0x0104] = "P1_CLAIM_CHANNEL",
  [0x0201] = "P2_REALPLAY_OPEN", [0x0202] = "P2_REALPLAY_CLOSE", [0x0203] = "P2_PTZ",
  [0x0204] = "P2_FORCE_I_FRAME", [0x0221] = "P2_EX_REALPLAY_OPEN", [0x0222] = "P2_EX_REALPLAY_CLOSE",
  [0x0223] = "P2_CTRL_STREAM", [0x0224] = "P2_ONLY_I_FRAME", [0x0225] = "P2_GET_VIDEO_QUALITY_CAP",
  [0x0226] = "P2_GET_VIDEO_QUALITY_LEVEL", [0x0227] = "P2_SET_VIDEO_QUALITY_LEVEL",
  [0x0231] = "P2_RM_REALPLAY_OPEN", [0x0232] = "P2_RM_REALPLAY_CLOSE",
  [0x0301] = "P3_QUERY_FILE", [0x0302] = "P3_NSP_QUERY_FILE", [0x0311] = "P3_DOWNLOAD_OPEN",
  [0x0312] = "P3_DOWNLOAD_CLOSE", [0x0313] = "P3_DOWNLOAD_GET", [0x0314] = "P3_DOWNLOAD_SEEK",
  [0x0315] = "P3_DOWNLOAD_QVIDEO", [0x0316] = "P3_DOWNLOAD_ONLY_IFRAME",
  [0x0317] = "P3_DOWNLOAD_RECOVER_ALLFRAME", [0x0318] = "P3_DOWNLOAD_OPEN_BY_TIME",
  [0x0401] = "P4_TALK_START", [0x0402] = "P4_TALK_STOP",
  [0x0501] = "P5_GUARD", [0x0502] = "P5_UNGUARD", [0x0503] = "P5_ALARM_NOTICE",
  [0x0505] = "P5_EX_ALARM_NOTICE",
  [0x0901] = "P9_MODIFY_USER_PWD", [0x0902] = "P9_GET_CONFIG", [0x0903] = "P9_SET_CONFIG",
  [0x0904] = "P9_GET_DEF_CONFIG", [0x0905] = "P9_IEC_IMP_CONFIG", [0x0906] = "P9_IEC_EXP_CONFIG",
  [0x0911] = "P9_QUERY_NET_INFO", [0x0912] = "P9_MODIFY_NET_ADDR",
  [0x0921] = "P9_COM_OPEN", [0x0922] = "P9_COM_CLOSE", [0x0923] = "P9_COM_SEND_DATA",
  [0x0924] = "P9_COM_SUBS_DATA",
  [0x0931] = "P9_UNS_ADD_USER", [0x0932] = "P9_UNS_DEL_USER", [0x0933] = "P9_UNS_GET_USER_POP",
  [0x0934] = "P9_UNS_SET_USER_POP",
  [0x0A01] = "PA_CUSTOM",
  [0x0B01] = "PB_RMY_QUERY_ABILITY", [0x0B02] = "PB_RMY_REBOOT", [0x0B03] = "PB_RMY_STOP",
  [0x0B21] = "PB_DUP_QUERY_DEV_VER_INFO", [0x0B22] = "PB_DUP_REQU_UPGRADE",
  [0x0B23] = "PB_DUP_QUERY_PROGRESS", [0x0B24] = "PB_DUP_QUERY_TRANS_POS",
  [0x0B25] = "PB_DUP_UPGRADE_DATA",
  [0x0E01] = "PE_VIDEO_FRAME", [0x0E02] = "PE_AUDIO_FRAME",
}

local group_names = {
  [0x00] = "link", [0x01] = "session", [0x02] = "live view", [0x03] = "record", [0x04] = "talk",
  [0x05] = "alarm", [0x09] = "configuration, users and serial port", [0x0A] = "custom",
  [0x0B] = "maintenance and upgrade", [0x0E] = "media frames",
}

local result_texts = {
  [0] = "Success", [1] = "Device failure", [2] = "Param error", [3] = "User name error",
  [4] = "Password error", [5] = "Without permission", [6] = "Not logged in",
  [7] = "Talk channel busy", [8] = "Query file fail", [9] = "No subscribe", [10] = "Resource used",
  [11] = "Resource not open", [12] = "Resource no idle", [13] = "Resource no exist",
  [14] = "Resource open fail", [15] = "File operation fail", [40] = "Not support operate",
  [41] = "Ban modify", [42] = "Message function error", [43] = "Id error", [50] = "Open stream fail",
  [51] = "Not support sub stream", [52] = "Not support ptz", [53] = "Not support force i frame",
  [54] = "Not support talk", [55] = "Channel no error", [56] = "Sub stream no error",
  [57] = "Start talk fail", [99] = "Other", [200] = "Success and restart",
}
for code = 150, 179 do result_texts[code] = "Custom error: " .. code end

local packet_types = { [0] = "request or notice", [1] = "answer", [2] = "type 2", [3] = "type 3" }

-- ---- Body layouts ----------------------------------------------------------
-- Each entry: { offset from the body start, kind, field name [, length] }.
-- Kinds: u8 u16 u32 i32 str (zero-terminated text of a fixed size) bytes time
-- (12-byte date-time: u16 year, u16 month, day, hour, minute, second, u32) and
-- data (everything from the offset to the end of the message).

local login = { 0, "u32", "login_id" }
local read_id = { 4, "u32", "file_read_id" }

local bodies = {
  [0x0101] = { { 0, "bytes", "version_words", 26 }, { 26, "u8", "version_lo" }, { 27, "u8", "version_hi" },
               { 28, "str", "token", 60 }, { 88, "u8", "pwd_mode" } },
  [0x0102] = { { 0, "str", "user", 32 }, { 32, "str", "digest", 256 }, { 288, "u32", "login_id" },
               { 292, "str", "dev_id", 44 }, { 336, "str", "dev_text1", 32 }, { 368, "str", "dev_text2", 32 },
               { 492, "u8", "special_ch" }, { 493, "u8", "dev_cap5" }, { 500, "u32", "video_ch_num" },
               { 504, "u32", "audio_ch_num" }, { 508, "u32", "dev_cap1" }, { 512, "u32", "dev_cap2" },
               { 516, "u32", "dev_cap3" } },
  [0x0103] = { login },
  [0x0104] = { { 0, "u32", "claim_word" }, { 4, "u32", "claim_id" }, { 8, "u32", "conn_id" } },
  -- live view
  [0x0201] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" } },
  [0x0202] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" } },
  [0x0203] = { login, { 4, "u32", "ch" }, { 8, "u32", "ptz_cmd" }, { 12, "u32", "ptz_data" },
               { 16, "u32", "ptz_ext1" }, { 20, "u32", "ptz_ext2" } },
  [0x0204] = { { 0, "u32", "unused" }, { 4, "u32", "ch" }, { 8, "u16", "stream" } },
  [0x0221] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" }, { 8, "u32", "claim_id" },
               { 12, "u32", "media_conn_id" } },
  [0x0222] = { login, { 4, "u32", "media_conn_id" } },
  [0x0223] = { login, { 4, "u32", "media_conn_id" }, { 8, "i32", "media_type" }, { 12, "i32", "ctrl_code" } },
  [0x0224] = { login, { 4, "u32", "media_conn_id" }, { 8, "i32", "ctrl_code" } },
  [0x0225] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" }, { 8, "i32", "entry_count" },
               { 12, "bytes", "quality_entries", 224 } },
  [0x0226] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" }, { 8, "u32", "quality_level" } },
  [0x0227] = { login, { 4, "u16", "ch" }, { 6, "u16", "stream" }, { 8, "u32", "quality_level" } },
  -- records
  [0x0301] = { login, { 4, "i32", "ch" }, { 8, "i32", "file_type" }, { 12, "i32", "create_mode" },
               { 16, "i32", "alarm_event" }, { 20, "time", "start_time" }, { 32, "time", "end_time" },
               { 44, "i32", "file_num" }, { 48, "data", "file_records" } },
  [0x0302] = { login, { 4, "i32", "ch" }, { 8, "i32", "stream_i" }, { 12, "i32", "file_type" },
               { 16, "i32", "create_mode" }, { 20, "bytes", "alarm_table", 16 }, { 36, "i32", "alarm_num" },
               { 40, "time", "start_time" }, { 52, "time", "end_time" }, { 64, "i32", "file_num" },
               { 68, "data", "file_records" } },
  [0x0311] = { login, { 4, "str", "file_flag", 128 }, { 132, "u32", "start_data_pos" },
               { 136, "u32", "start_time_pos" }, { 140, "u32", "file_read_id" }, { 144, "fileinfo", "file_info" } },
  [0x0318] = { login, { 4, "i32", "ch" }, { 8, "i32", "stream_i" }, { 12, "i32", "file_type" },
               { 16, "i32", "create_mode" }, { 20, "bytes", "alarm_table", 16 }, { 36, "i32", "alarm_num" },
               { 40, "time", "start_time" }, { 52, "time", "end_time" }, { 64, "u32", "file_read_id" },
               { 68, "fileinfo", "file_info" } },
  [0x0312] = { login, read_id },
  [0x0313] = { login, read_id, { 8, "u32", "requ_id" }, { 12, "u8", "req_data_type" },
               { 13, "u8", "req_data_size" }, { 14, "u8", "ret_data_type" }, { 15, "u8", "frame_type_end" },
               { 16, "u8", "codec" }, { 17, "u8", "frame_rate" }, { 20, "u32", "offset_data_pos" },
               { 24, "u32", "offset_time_pos" }, { 28, "time", "data_time" }, { 40, "u32", "data_len" },
               { 44, "data", "data" } },
  [0x0314] = { login, read_id, { 8, "u32", "offset_time_pos" } },
  [0x0315] = { login, read_id, { 8, "i32", "frame_rate_i" }, { 12, "i32", "gop" } },
  [0x0316] = { login, read_id, { 8, "i32", "discard_iframe" }, { 12, "i32", "frame_rate_i" }, { 16, "i32", "gop" } },
  [0x0317] = { login, read_id },
  -- talk and alarms
  [0x0401] = { login, { 4, "i32", "talk_ch" }, { 8, "i32", "audio_codec" }, { 12, "i32", "audio_bit_rate" },
               { 16, "i32", "audio_sample_rate" }, { 20, "i32", "audio_ch_num" } },
  [0x0402] = { login, { 4, "i32", "talk_ch" } },
  [0x0501] = { login },
  [0x0502] = { login },
  [0x0503] = { { 0, "i32", "ch" }, { 4, "i32", "alarm_event" }, { 8, "time", "alarm_time" },
               { 20, "u32", "alarm_param" }, { 24, "str", "alarm_msg", 128 } },
  [0x0505] = { { 0, "str", "alarm_id", 32 }, { 32, "i32", "ch" }, { 36, "time", "alarm_time" },
               { 48, "i32", "alarm_event" }, { 52, "str", "alarm_msg", 128 } },
  -- configuration, network, users
  [0x0901] = { { 0, "str", "text1", 32 }, { 32, "str", "text2", 32 }, { 64, "str", "text3", 32 } },
  [0x0902] = { login, { 4, "i32", "config_func_id" }, { 8, "i32", "config_data_len" }, { 12, "data", "config_data" } },
  [0x0903] = { login, { 4, "i32", "config_func_id" }, { 8, "i32", "config_data_len" }, { 12, "data", "config_data" } },
  [0x0904] = { login, { 4, "i32", "config_func_id" }, { 8, "u32", "config_param" },
               { 12, "i32", "config_data_len" }, { 16, "data", "config_data" } },
  [0x0905] = { login, { 4, "u32", "config_data_len_u" }, { 8, "data", "config_data" } },
  [0x0906] = { login, { 4, "i32", "config_data_len" }, { 8, "data", "config_data" } },
  [0x0911] = { { 0, "u32", "value1" } },
  [0x0912] = { { 0, "bytes", "card_info", 90 } },
  [0x0931] = { login, { 4, "str", "user", 32 }, { 36, "str", "password", 32 }, { 68, "u32", "global_pop" },
               { 72, "i32", "ch_pop_num" }, { 76, "bytes", "ch_pop", 256 } },
  [0x0932] = { login, { 4, "str", "user", 32 } },
  [0x0933] = { login, { 4, "str", "user", 32 }, { 36, "u32", "global_pop" }, { 40, "i32", "ch_pop_num" },
               { 44, "bytes", "ch_pop", 256 } },
  [0x0934] = { login, { 4, "str", "user", 32 }, { 36, "u32", "global_pop" }, { 40, "i32", "ch_pop_num" },
               { 44, "bytes", "ch_pop", 256 } },
  -- serial port
  [0x0921] = { login, { 4, "u32", "com_param1" }, { 8, "u32", "com_param2" }, { 12, "u32", "com_param3" },
               { 16, "u32", "com_param4" }, { 20, "u32", "com_param5" }, { 24, "u32", "com_param6" } },
  [0x0922] = { login, { 4, "u32", "value1" }, { 8, "u32", "value2" } },
  [0x0923] = { login, { 4, "u32", "value1" }, { 8, "u32", "value2" }, { 12, "u32", "value3" },
               { 16, "data", "com_data" } },
  -- custom, maintenance and upgrade
  [0x0A01] = { { 0, "u32", "custom_func_id" }, { 4, "i32", "data_len_i" }, { 8, "data", "data" } },
  [0x0B01] = { login, { 4, "u32", "ability" }, { 8, "i32", "ability_len" }, { 12, "data", "ability_desc" } },
  [0x0B02] = { login },
  [0x0B03] = { login },
  [0x0B21] = { login, { 4, "u16", "ver_us1" }, { 6, "u16", "ver_us2" }, { 8, "u16", "ver_us3" },
               { 10, "u16", "ver_us4" }, { 12, "u32", "ver_dw1" }, { 16, "u32", "ver_dw2" },
               { 20, "u32", "ver_dw3" }, { 24, "u32", "ver_dw4" } },
  [0x0B22] = { login, { 4, "u16", "upgrade_value1" }, { 6, "u16", "upgrade_value2" },
               { 8, "u32", "upgrade_value" }, { 12, "u32", "upgrade_answer" } },
  [0x0B23] = { { 0, "u32", "upgrade_param" }, { 4, "u32", "progress" } },
  [0x0B24] = { { 0, "u32", "upgrade_param" }, { 4, "u32", "trans_pos" } },
  [0x0B25] = { { 0, "u32", "upgrade_param" }, { 4, "i32", "data_len_i" }, { 8, "data", "data" } },
}
-- The serial data notice from the device and P9_COM_SUBS_DATA share an id.
local com_subs_notice = { { 0, "u32", "value1" }, { 4, "u32", "value2" }, { 8, "i32", "data_len_i" },
                          { 12, "data", "com_data" } }
local talk_audio = { { 0, "u32", "value1" }, { 4, "bytes", "talk_audio_head", 8 }, { 12, "data", "talk_audio" } }

-- ---- Fields ------------------------------------------------------------------

local f = {
  flag = ProtoField.uint32("umsp.flag", "Packet flag", base.HEX),
  size = ProtoField.uint32("umsp.size", "Packet size", base.DEC),
  func = ProtoField.uint16("umsp.func", "Function id", base.HEX, func_names),
  func_name = ProtoField.string("umsp.func_name", "Function"),
  group = ProtoField.uint8("umsp.group", "Group", base.HEX, group_names),
  type_byte = ProtoField.uint8("umsp.type_byte", "Type byte", base.HEX),
  answer = ProtoField.uint8("umsp.type", "Packet type", base.DEC, packet_types, 0x03),
  type_bits = ProtoField.uint8("umsp.type_bits", "Kept bits", base.HEX, nil, 0xFC),
  result = ProtoField.uint8("umsp.result", "Result", base.DEC, result_texts),
  result_text = ProtoField.string("umsp.result_text", "Result text"),
  trans = ProtoField.uint32("umsp.trans", "Transaction number", base.DEC),
  reserved = ProtoField.bytes("umsp.reserved", "Reserved"),
  body = ProtoField.bytes("umsp.body", "Body"),
  -- frame media heads
  v_codec = ProtoField.uint8("umsp.video.codec", "Video codec id", base.DEC, nil, 0x0F),
  v_ftype = ProtoField.uint8("umsp.video.frame_type", "Frame type", base.DEC, { [1] = "I-frame" }, 0xF0),
  v_width = ProtoField.uint16("umsp.video.width", "Width", base.DEC),
  v_height = ProtoField.uint16("umsp.video.height", "Height", base.DEC),
  v_rate = ProtoField.uint8("umsp.video.frame_rate", "Frame rate", base.DEC),
  v_bitrate = ProtoField.uint16("umsp.video.bit_rate", "Bit rate", base.DEC),
  a_codec = ProtoField.uint8("umsp.audio.codec", "Audio codec id", base.DEC, nil, 0x0F),
  a_rate = ProtoField.uint32("umsp.audio.sample_rate", "Sample rate", base.DEC),
  a_bitrate = ProtoField.uint16("umsp.audio.bit_rate", "Bit rate", base.DEC),
  a_chnum = ProtoField.uint8("umsp.audio.ch_num", "Channels", base.DEC, nil, 0x03),
  timestamp = ProtoField.uint32("umsp.frame.timestamp", "Time stamp (ms)", base.DEC),
  frame_data = ProtoField.bytes("umsp.frame.data", "Frame data"),
  frame_len = ProtoField.uint32("umsp.frame.len", "Frame data length", base.DEC),
}

-- One field per body field name, typed by its kind (first use wins).
local body_fields = {}
local function body_field(kind, name, len)
  if body_fields[name] then return body_fields[name] end
  local abbr = "umsp." .. name
  local field
  if kind == "u8" then field = ProtoField.uint8(abbr, name, base.DEC)
  elseif kind == "u16" then field = ProtoField.uint16(abbr, name, base.DEC)
  elseif kind == "u32" then field = ProtoField.uint32(abbr, name, base.DEC)
  elseif kind == "i32" then field = ProtoField.int32(abbr, name, base.DEC)
  elseif kind == "str" or kind == "time" then field = ProtoField.string(abbr, name)
  else field = ProtoField.bytes(abbr, name) end
  body_fields[name] = field
  return field
end
local layouts = { com_subs_notice, talk_audio }
for _, layout in pairs(bodies) do layouts[#layouts + 1] = layout end
for _, layout in ipairs(layouts) do
  for _, e in ipairs(layout) do
    if e[2] == "fileinfo" then body_field("bytes", e[3]) else body_field(e[2], e[3]) end
  end
end
local fileinfo_layout = { { 0, "str", "fi_file_flag", 128 }, { 128, "i32", "fi_file_type" },
                          { 132, "i32", "fi_create_mode" }, { 136, "i32", "fi_alarm_event" },
                          { 140, "time", "fi_start_time" }, { 152, "time", "fi_end_time" },
                          { 164, "u32", "fi_time_len" }, { 168, "u32", "fi_size" } }
for _, e in ipairs(fileinfo_layout) do body_field(e[2], e[3]) end

local all = {}
for _, v in pairs(f) do all[#all + 1] = v end
for _, v in pairs(body_fields) do all[#all + 1] = v end
umsp.fields = all

umsp.prefs.tcp_port = Pref.uint("TCP port", 0, "Decode this TCP port as UMSP (0: find it by the head flag)")

-- ---- Body decoding -----------------------------------------------------------

local widths = { u8 = 1, u16 = 2, u32 = 4, i32 = 4, time = 12 }

local function time_text(range)
  return string.format("%04d-%02d-%02d %02d:%02d:%02d", range(0, 2):le_uint(), range(2, 2):le_uint(),
                       range(4, 1):uint(), range(5, 1):uint(), range(6, 1):uint(), range(7, 1):uint())
end

local function add_layout(body, tree, layout)
  local blen = body:len()
  for _, e in ipairs(layout) do
    local off, kind, name, len = e[1], e[2], e[3], e[4]
    if kind == "data" then
      if off < blen then tree:add(body_fields[name], body(off, blen - off)) end
    elseif kind == "fileinfo" then
      if off + 172 <= blen then
        local r = body(off, math.min(220, blen - off))
        local sub = tree:add(body_fields[name], r)
        add_layout(r, sub, fileinfo_layout)
      end
    else
      local w = widths[kind] or len
      if off + w > blen then break end
      local r = body(off, w)
      if kind == "u8" or kind == "u16" or kind == "u32" then tree:add_le(body_fields[name], r, r:le_uint())
      elseif kind == "i32" then tree:add_le(body_fields[name], r, r:le_int())
      elseif kind == "str" then tree:add(body_fields[name], r, r:stringz())
      elseif kind == "time" then tree:add(body_fields[name], r, time_text(r))
      else tree:add(body_fields[name], r) end
    end
  end
end

local function add_frame_head(tvb, tree, func)
  if tvb:len() < 32 then return end
  local sub = tree:add(umsp, tvb(20, 12), "Media head")
  local b20, b21, b22, b23 = tvb(20, 1):uint(), tvb(21, 1):uint(), tvb(22, 1):uint(), tvb(23, 1):uint()
  local b24, b25, b26 = tvb(24, 1):uint(), tvb(25, 1):uint(), tvb(26, 1):uint()
  if func == 0x0E01 then
    sub:add(f.v_codec, tvb(20, 1))
    sub:add(f.v_ftype, tvb(20, 1))
    sub:add(f.v_width, tvb(21, 2), b21 + (b22 % 16) * 256)
    sub:add(f.v_height, tvb(22, 2), math.floor(b22 / 16) + b23 * 16)
    sub:add(f.v_rate, tvb(24, 1), b24 % 128)
    sub:add(f.v_bitrate, tvb(24, 3), math.floor(b24 / 128) + b25 * 2 + (b26 % 64) * 512)
  else
    sub:add(f.a_codec, tvb(20, 1))
    sub:add(f.a_rate, tvb(20, 3), math.floor(b20 / 16) + b21 * 16 + (b22 % 16) * 4096)
    sub:add_le(f.a_bitrate, tvb(24, 2))
    sub:add(f.a_chnum, tvb(26, 1))
  end
  sub:add_le(f.timestamp, tvb(28, 4))
  sub:add(f.frame_len, tvb:len() - 32)
  if tvb:len() > 32 then sub:add(f.frame_data, tvb(32)) end
end

-- One whole message.
local function dissect_message(tvb, pinfo, tree)
  local size = tvb(4, 4):le_uint()
  local func = tvb(8, 2):le_uint()
  local type_byte = tvb(10, 1):uint()
  local ptype = type_byte % 4
  local result = tvb(11, 1):uint()
  local name = func_names[func] or string.format("unknown 0x%04X", func)
  local rtext = result_texts[result] or ("Other: " .. result)

  local t = tree:add(umsp, tvb(0, size), string.format("UMSP %s %s", name, ptype == 1 and "answer" or "request"))
  local head = t:add(umsp, tvb(0, HEAD_LEN), "Head")
  head:add_le(f.flag, tvb(0, 4))
  head:add_le(f.size, tvb(4, 4))
  head:add_le(f.func, tvb(8, 2))
  head:add(f.func_name, tvb(8, 2), name)
  head:add(f.group, tvb(9, 1))
  head:add(f.type_byte, tvb(10, 1))
  head:add(f.answer, tvb(10, 1))
  head:add(f.type_bits, tvb(10, 1))
  head:add(f.result, tvb(11, 1))
  head:add(f.result_text, tvb(11, 1), rtext)
  head:add_le(f.trans, tvb(12, 4))
  head:add(f.reserved, tvb(16, 4))

  local info = name .. (ptype == 1 and " answer" or "")
  if ptype == 1 then info = info .. " [" .. result .. " " .. rtext .. "]" end
  if tostring(pinfo.cols.info) ~= "" and pinfo.private.umsp_seen == "1" then
    pinfo.cols.info:append("; " .. info)
  else
    pinfo.cols.info:set(info)
    pinfo.private.umsp_seen = "1"
  end

  if size <= HEAD_LEN then return end
  local body = tvb(HEAD_LEN, size - HEAD_LEN):tvb()
  local layout = bodies[func]
  if func == 0x0E01 then
    add_frame_head(tvb, t, func)
    return
  elseif func == 0x0E02 then
    -- From the device byte 23 of a frame message is always 1; from a client
    -- the body is talk audio.
    if size >= 32 and tvb(23, 1):uint() == 1 then add_frame_head(tvb, t, func) return end
    layout = talk_audio
  elseif func == 0x0924 and ptype == 0 then
    layout = com_subs_notice
  end
  local bt = t:add(f.body, tvb(HEAD_LEN, size - HEAD_LEN))
  if layout then add_layout(body, bt, layout) end
end

local function message_len(tvb, pinfo, offset)
  return tvb(offset + 4, 4):le_uint()
end

function umsp.dissector(tvb, pinfo, tree)
  if tvb:len() < 4 or tvb(0, 4):le_uint() ~= PACKET_FLAG then return 0 end
  pinfo.cols.protocol = "UMSP"
  dissect_tcp_pdus(tvb, tree, HEAD_LEN, message_len, dissect_message, true)
  return tvb:len()
end

-- A TCP payload that starts with the head flag and a plausible size is UMSP;
-- the conversation then stays UMSP (so segments in the middle of a message
-- are reassembled too).
local function heuristic(tvb, pinfo, tree)
  if tvb:len() < 8 or tvb(0, 4):le_uint() ~= PACKET_FLAG then return false end
  if tvb(4, 4):le_uint() < HEAD_LEN then return false end
  pinfo.conversation = umsp
  umsp.dissector(tvb, pinfo, tree)
  return true
end
umsp:register_heuristic("tcp", heuristic)

local registered_port = 0
function umsp.prefs_changed()
  local tcp_table = DissectorTable.get("tcp.port")
  if registered_port ~= 0 then tcp_table:remove(registered_port, umsp) end
  registered_port = umsp.prefs.tcp_port
  if registered_port ~= 0 then tcp_table:add(registered_port, umsp) end
end

-- ---- NPD on UDP 28460 ----------------------------------------------------------

local npd_names = { [1] = "ECHO", [2] = "SEARCH_DEV_REQ", [3] = "SEARCH_DEV_RSP",
                    [10] = "NM_SET_BROAD_TRACE_PARAM", [11] = "BROAD_LOG", [12] = "NM_SET_DEBUG_PARAM" }
local nf = {
  flag = ProtoField.uint32("npd.flag", "Flag", base.HEX),
  len = ProtoField.uint16("npd.len", "Length", base.DEC),
  func = ProtoField.uint8("npd.func", "Function id", base.DEC, npd_names),
  func_name = ProtoField.string("npd.func_name", "Function"),
  answer = ProtoField.uint8("npd.answer", "Answer flag", base.DEC, { [0] = "request", [1] = "answer" }),
  req = ProtoField.uint32("npd.req", "Request number", base.DEC),
  result = ProtoField.uint32("npd.result", "Result", base.DEC, { [0] = "Success", [2] = "Failure" }),
  searcher = ProtoField.uint32("npd.searcher", "Searcher value", base.HEX),
  server_id = ProtoField.uint32("npd.server_id", "Server id", base.HEX),
  dev_id = ProtoField.string("npd.dev_id", "Device id"),
  dev_text1 = ProtoField.string("npd.dev_text1", "Device text 1"),
  dev_text2 = ProtoField.string("npd.dev_text2", "Device text 2"),
  video_ch = ProtoField.int32("npd.video_ch_num", "Video channels", base.DEC),
  audio_ch = ProtoField.int32("npd.audio_ch_num", "Audio channels", base.DEC),
  cap = ProtoField.int32("npd.dev_cap", "Capability value", base.DEC),
  sub_proto = ProtoField.int32("npd.sub_proto_num", "Sub protocols", base.DEC),
  debug = ProtoField.int32("npd.debug_log", "Debug log", base.DEC),
  debug_media = ProtoField.int32("npd.debug_media_log", "Debug media log", base.DEC),
  run_state = ProtoField.int32("npd.show_run_state", "Show run state", base.DEC),
  trace_op = ProtoField.uint16("npd.trace_op", "Operation", base.DEC, { [0] = "remove" }),
  trace_port = ProtoField.uint16("npd.trace_port", "Trace client port", base.DEC),
  trace_addr = ProtoField.ipv4("npd.trace_addr", "Trace client address"),
  line_no = ProtoField.uint32("npd.line_no", "Log line number", base.DEC),
  text = ProtoField.string("npd.text", "Log text"),
  set_word = ProtoField.uint32("npd.set", "Set switch", base.DEC),
  new_word = ProtoField.uint32("npd.new", "New value", base.DEC),
}
local nlist = {}
for _, v in pairs(nf) do nlist[#nlist + 1] = v end
npd.fields = nlist

-- The trace client address is a little-endian 32-bit number on the wire.
local function le_ipv4(range)
  local n = range:le_uint()
  return Address.ip(string.format("%d.%d.%d.%d", math.floor(n / 16777216) % 256, math.floor(n / 65536) % 256,
                                  math.floor(n / 256) % 256, n % 256))
end

function npd.dissector(tvb, pinfo, tree)
  if tvb:len() < 16 or tvb(0, 4):le_uint() ~= NPD_FLAG then return 0 end
  pinfo.cols.protocol = "NPD"
  local func = tvb(6, 1):uint()
  local name = npd_names[func] or ("unknown " .. func)
  local t = tree:add(npd, tvb(), "NPD " .. name)
  t:add_le(nf.flag, tvb(0, 4))
  t:add_le(nf.len, tvb(4, 2))
  t:add(nf.func, tvb(6, 1))
  t:add(nf.func_name, tvb(6, 1), name)
  t:add(nf.answer, tvb(7, 1))
  t:add_le(nf.req, tvb(8, 4))
  t:add_le(nf.result, tvb(12, 4))
  pinfo.cols.info:set("NPD " .. name .. (tvb(7, 1):uint() == 1 and " answer" or ""))
  local n = tvb:len()
  if func == 2 and n >= 20 then
    t:add_le(nf.searcher, tvb(16, 4))
  elseif func == 3 and n >= 140 then
    t:add_le(nf.searcher, tvb(16, 4))
    t:add_le(nf.server_id, tvb(20, 4))
    t:add(nf.dev_id, tvb(24, 12), tvb(24, 12):stringz())
    t:add(nf.dev_text1, tvb(36, 32), tvb(36, 32):stringz())
    t:add(nf.dev_text2, tvb(68, 32), tvb(68, 32):stringz())
    t:add_le(nf.video_ch, tvb(100, 4))
    t:add_le(nf.audio_ch, tvb(104, 4))
    for off = 108, 120, 4 do t:add_le(nf.cap, tvb(off, 4)) end
    t:add_le(nf.sub_proto, tvb(124, 4))
    t:add_le(nf.debug, tvb(128, 4))
    t:add_le(nf.debug_media, tvb(132, 4))
    t:add_le(nf.run_state, tvb(136, 4))
  elseif func == 10 and n >= 28 then
    t:add_le(nf.server_id, tvb(16, 4))
    t:add_le(nf.trace_op, tvb(20, 2))
    t:add_le(nf.trace_port, tvb(22, 2))
    t:add(nf.trace_addr, tvb(24, 4), le_ipv4(tvb(24, 4)))
  elseif func == 11 and n >= 29 then
    t:add(nf.trace_addr, tvb(20, 4), le_ipv4(tvb(20, 4)))
    t:add_le(nf.line_no, tvb(24, 4))
    t:add(nf.text, tvb(28, n - 28), tvb(28, n - 28):stringz())
  elseif func == 12 and n >= 48 then
    t:add_le(nf.server_id, tvb(16, 4))
    for off = 24, 32, 4 do t:add_le(nf.set_word, tvb(off, 4)) end
    for off = 36, 44, 4 do t:add_le(nf.new_word, tvb(off, 4)) end
  end
  return n
end
DissectorTable.get("udp.port"):add(NPD_PORT, npd)
