# cmake -DINPUT=FILE -DOUTPUT=FILE -P crlf.cmake: OUTPUT is INPUT with Windows line ends, so that
# every Windows editor shows its lines.
file(READ ${INPUT} _text)
string(REPLACE "\r\n" "\n" _text "${_text}")
string(REPLACE "\n" "\r\n" _text "${_text}")
file(WRITE ${OUTPUT} "${_text}")
