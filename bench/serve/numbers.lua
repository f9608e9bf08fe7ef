-- Each request asks for the next invoice number, so that no two documents in a row are the same.
local counter = 0

request = function()
    counter = counter + 1
    return wrk.format(nil, wrk.path .. counter)
end
