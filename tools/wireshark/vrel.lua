-- Wireshark dissector for VREL, the device discovery and addressing protocol on UDP port
-- 64512. Copy it into a Lua plugin folder (Help > About > Folders) or load it for one run
-- with `tshark -X lua_script:vrel.lua`.
--
-- A datagram is a 36-byte header followed by items of id (1 byte), item length (2 bytes,
-- counting these 3) and value bytes; multi-byte numbers are big-endian. Devices answer from
-- port 64512, so a datagram from that port is an answer and any other is a request.

local VREL_PORT = 64512
local HEADER_SIZE = 36
local MAGIC = "092b1338"

local commands = { [1] = "Discover", [3] = "Set", [5] = "Get" }
local DISCOVER, SET, GET = 1, 3, 5
local statuses = { [0] = "OK", [1] = "Password error", [2] = "Not done", [3] = "Bad command" }

local vrel = Proto("vrel", "VREL device protocol")

local f = {
    magic = ProtoField.bytes("vrel.magic", "Magic"),
    command = ProtoField.uint8("vrel.command", "Command", base.DEC, commands),
    sequence = ProtoField.uint8("vrel.sequence", "Sequence", base.DEC),
    length = ProtoField.uint16("vrel.length", "Length", base.DEC),
    reserved = ProtoField.bytes("vrel.reserved", "Reserved"),
    status = ProtoField.uint8("vrel.status", "Status", base.DEC, statuses, 0x0F),
    status_flags = ProtoField.uint8("vrel.status_flags", "Status upper bits", base.HEX, nil, 0xF0),
    digest = ProtoField.bytes("vrel.digest", "Digest (MD5)"),
    target_mac = ProtoField.ether("vrel.target_mac", "Target MAC"),
    constant = ProtoField.uint8("vrel.constant", "Constant", base.HEX),
    response = ProtoField.bool("vrel.response", "Response"),
    item = ProtoField.none("vrel.item", "Item"),
    item_id = ProtoField.uint8("vrel.item.id", "Id", base.DEC),
    item_length = ProtoField.uint16("vrel.item.length", "Item length", base.DEC),
    item_value = ProtoField.bytes("vrel.item.value", "Value"),
    product_code = ProtoField.uint16("vrel.product_code", "Product Code", base.DEC),
    model_name = ProtoField.string("vrel.model_name", "Model Name"),
    mac_address = ProtoField.ether("vrel.mac_address", "MAC Address"),
    ip_address = ProtoField.ipv4("vrel.ip_address", "IP Address"),
    netmask = ProtoField.ipv4("vrel.netmask", "Netmask"),
    action = ProtoField.int8("vrel.action", "Action", base.DEC),
}
vrel.fields = f

local ef = {
    malformed = ProtoExpert.new("vrel.malformed", "Malformed VREL datagram",
                                expert.group.MALFORMED, expert.severity.ERROR),
}
vrel.experts = ef

-- Named fields of the items the tools send and the devices answer, by command and id, with
-- the value size each must have (nil: any size).
local discovery_items = {
    [235] = { f.product_code, 2 },
    [1] = { f.model_name, nil },
    [2] = { f.mac_address, 6 },
    [3] = { f.ip_address, 4 },
    [4] = { f.netmask, 4 },
}
local set_items = {
    [3] = { f.ip_address, 4 },
    [4] = { f.netmask, 4 },
    [5] = { f.action, 1 },
}

local function named_items(command, response)
    if command == DISCOVER and response then return discovery_items end
    if command == SET and not response then return set_items end
    return {}
end

local function malformed(tree, pinfo, item, text)
    (item or tree):add_proto_expert_info(ef.malformed, text)
    pinfo.cols.info:append(" [Malformed: " .. text .. "]")
end

local function dissect_items(tvb, pinfo, tree, command, response)
    local names = named_items(command, response)
    local at = HEADER_SIZE
    local size = tvb:len()
    while at < size do
        if size - at < 3 then
            malformed(tree, pinfo, tree:add(f.item, tvb(at)), "item header cut short")
            return
        end
        local id = tvb(at, 1):uint()
        local length = tvb(at + 1, 2):uint()
        if length < 3 or at + length > size then
            local sub = tree:add(f.item, tvb(at)):set_text(string.format("Item %d", id))
            sub:add(f.item_id, tvb(at, 1))
            malformed(tree, pinfo, sub:add(f.item_length, tvb(at + 1, 2)),
                      string.format("item length %d does not fit the %d bytes left",
                                    length, size - at))
            return
        end
        local sub = tree:add(f.item, tvb(at, length))
        sub:add(f.item_id, tvb(at, 1))
        sub:add(f.item_length, tvb(at + 1, 2))
        local value = length > 3 and tvb(at + 3, length - 3) or nil
        local named = names[id]
        local text = string.format("Item %d", id)
        if value then
            sub:add(f.item_value, value)
            if named and (named[2] == nil or named[2] == length - 3) then
                local field_item = sub:add(named[1], value)
                text = string.format("Item %d, %s", id, field_item.text or "")
            elseif named then
                malformed(tree, pinfo, sub, string.format(
                    "item %d has %d value bytes, not %d", id, length - 3, named[2]))
            end
        end
        sub:set_text(text)
        at = at + length
    end
end

function vrel.dissector(tvb, pinfo, tree)
    local size = tvb:len()
    pinfo.cols.protocol = "VREL"
    local response = pinfo.src_port == VREL_PORT
    local root = size > 0 and tree:add(vrel, tvb()) or tree:add(vrel)
    root:add(f.response, response):set_generated()

    if size < 4 or tvb(0, 4):bytes():tohex():lower() ~= MAGIC then
        local magic = size > 0 and root:add(f.magic, tvb(0, math.min(size, 4))) or nil
        pinfo.cols.info = "VREL"
        malformed(root, pinfo, magic, size < 4 and "datagram cut short in the magic"
                                                 or "wrong magic")
        return size
    end
    root:add(f.magic, tvb(0, 4))
    if size < HEADER_SIZE then
        -- Show what the header holds up to the cut.
        if size > 4 then root:add(f.command, tvb(4, 1)) end
        if size > 5 then root:add(f.sequence, tvb(5, 1)) end
        pinfo.cols.info = "VREL"
        malformed(root, pinfo, root, string.format(
            "%d bytes, shorter than the %d-byte header", size, HEADER_SIZE))
        return size
    end

    local command = tvb(4, 1):uint()
    local status = tvb(10, 1):uint() % 16
    root:add(f.command, tvb(4, 1))
    root:add(f.sequence, tvb(5, 1))
    local length_item = root:add(f.length, tvb(6, 2))
    root:add(f.reserved, tvb(8, 2))
    if response then
        root:add(f.status, tvb(10, 1))
    end
    root:add(f.status_flags, tvb(10, 1))
    root:add(f.reserved, tvb(11, 1))
    root:add(f.digest, tvb(12, 16))
    root:add(f.target_mac, tvb(28, 6))
    root:add(f.constant, tvb(34, 1))
    root:add(f.reserved, tvb(35, 1))

    local info = string.format("%s %s, seq %d", commands[command] or
                               string.format("Command %d", command),
                               response and "answer" or "request", tvb(5, 1):uint())
    if response then
        info = info .. ", " .. (statuses[status] or string.format("status %d", status))
    end
    pinfo.cols.info = info

    local length = tvb(6, 2):uint()
    if length ~= size then
        malformed(root, pinfo, length_item, string.format(
            "length field %d, datagram has %d bytes", length, size))
        return size
    end
    if size > HEADER_SIZE then
        local payload = root:add(tvb(HEADER_SIZE), "Payload")
        dissect_items(tvb, pinfo, payload, command, response)
    end
    return size
end

DissectorTable.get("udp.port"):add(VREL_PORT, vrel)
