# calibmod-cli end to end: help, command-line errors, and a calibration of the
# shipped sample in WORK, checked through what the commands print and their
# exit status. Arguments: CLI (the program), SAMPLE (samples/Table0.dat), WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/source ${WORK}/calib)
file(COPY ${SAMPLE} DESTINATION ${WORK}/source)

# run(<expected exit status> <regex the output must match> args...)
function(run status regex)
  execute_process(COMMAND ${CLI} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "${status}")
    message(FATAL_ERROR "calibmod-cli ${ARGN}: exit ${rc}, want ${status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${regex}")
    message(FATAL_ERROR "calibmod-cli ${ARGN}: output does not match '${regex}':\n${out}${err}")
  endif()
endfunction()

run(0 "calibrate.*inspect.*list.*check.*plot.*make-sample" --help)
run(0 "^calibmod-cli [0-9]" --version)
foreach(cmd calibrate inspect list check plot make-sample)
  run(0 "Usage: calibmod-cli ${cmd}.*Exit status" ${cmd} --help)
  run(0 "^calibmod-cli [0-9]" ${cmd} --version)
  run(2 "unknown option '--bogus'" ${cmd} --bogus)
endforeach()
run(2 "no command given")
run(2 "unknown command 'frobnicate'" frobnicate)
run(2 "--source-dir is required" calibrate --source T.dat --calib-dir ${WORK})
run(2 "unknown option '--colour'" calibrate --colour 1)
run(2 "--ids: '1,2,3,4,5,6,7' is not" calibrate --ids 1,2,3,4,5,6,7)
run(2 "--mode: 'one' is not a 16-bit number" calibrate --mode one)
run(2 "--param1 needs a value" calibrate --param1)
run(2 "--prefix: 'abcdef' has 6 characters; the list prefix has exactly 5" calibrate --prefix abcdef)
run(2 "unknown option '--bogus'" calibrate --source-dir ${WORK} --source T.dat --calib-dir ${WORK} --bogus)
run(2 "--source: 'ABCDEFGHIJKL.dat' has 16 characters; the name holds at most 15"
    calibrate --source-dir ${WORK} --source ABCDEFGHIJKL.dat --calib-dir ${WORK})
run(2 "--source: 'Table0' has no '.'" calibrate --source-dir ${WORK} --source Table0 --calib-dir ${WORK})
run(2 "--kzht: '300' is not a number from 1 to 255" make-sample --kzht 300 ${WORK}/x.dat)
run(2 "PREFIX: 'abc' has 3 characters; the list prefix has exactly 5" list ${WORK} abc 1)
run(2 "cannot read .*/missing.dat: No such file or directory" inspect ${WORK}/missing.dat)
# Verdicts go to stderr; a file that is no data file gets no made-up header.
execute_process(COMMAND ${CLI} inspect /dev/null RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err MATCHES "/dev/null: not a calibration data file: too short")
  message(FATAL_ERROR "inspect /dev/null: exit ${rc}, stdout '${out}', stderr '${err}'")
endif()
file(WRITE ${WORK}/notes.txt "# zmd notes\nThis is a text file, long enough for a header but not a data file.\n")
execute_process(COMMAND ${CLI} inspect ${WORK}/notes.txt RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err MATCHES "not a calibration data file: its header places")
  message(FATAL_ERROR "inspect notes.txt: exit ${rc}, stdout '${out}', stderr '${err}'")
endif()

# CAL_ERR_FILE names what stands in the way.
run(1 "CAL_ERR_FILE \\(-138\\).*the source directory ${WORK}/nowhere cannot be reached: No such file or directory"
    calibrate --source-dir ${WORK}/nowhere --source Table0.dat --calib-dir ${WORK}/calib)
run(1 "the source file ${WORK}/source/Absent.dat cannot be opened: No such file or directory"
    calibrate --source-dir ${WORK}/source --source Absent.dat --calib-dir ${WORK}/calib)
run(1 "the calibration directory ${WORK}/nocalib cannot be reached: No such file or directory"
    calibrate --source-dir ${WORK}/source --source Table0.dat --calib-dir ${WORK}/nocalib)
file(WRITE ${WORK}/source/Empty.dat "")
run(1 "the source file ${WORK}/source/Empty.dat is empty"
    calibrate --source-dir ${WORK}/source --source Empty.dat --calib-dir ${WORK}/calib)
file(REMOVE ${WORK}/source/Empty.dat)

set(req --source-dir ${WORK}/source --source Table0.dat --calib-dir ${WORK}/calib --prefix abcde
        --list-number 7 --param1 1 --param2 2 --param3 3 --ids -3,0,3,-3)
run(0 "CAL_OK \\(0\\).*state: +2 \\(new list\\).*use: +table1.dat" calibrate ${req})
run(0 "state: +1 \\(found\\).*use: +table1.dat" calibrate ${req})
run(0 "table1.dat +present, current \\(source Table0.dat\\)" list ${WORK}/calib abcde 7 --source-dir ${WORK}/source)
run(0 "curves replaced, [0-9]+ unchanged, 0 bytes differ outside the curves"
    inspect ${WORK}/calib/table1.dat --against ${WORK}/source/Table0.dat)
file(REMOVE ${WORK}/calib/table1.dat)
run(0 "state: +4 \\(refresh\\): the listed copy was missing" calibrate ${req})
run(0 "state: +3 \\(new entry\\).*use: +table2.dat" calibrate ${req} --param1 9)
run(0 "pass-through.*use: +Table0.dat" calibrate ${req} --ids 0,-8,0,0)
run(1 "CAL_ERR_REQUEST \\(-128\\).*use: +Table0.dat" calibrate ${req} --mode 2)
file(WRITE ${WORK}/calib/abcde008.ini "8,1,2\r\n")
run(1 "malformed \\(3 fields instead of five\\).*unusable" list ${WORK}/calib abcde 8)

run(0 "wrote .*, 20 KZHT tables" make-sample --kzht 20 --shared ${WORK}/shared.dat)
run(0 "one shared directory.*1202 +plain" inspect ${WORK}/shared.dat)

# JSON answers parse as JSON (cmake's own reader) and carry the documented fields.
execute_process(COMMAND ${CLI} inspect ${WORK}/calib/table1.dat --against ${WORK}/source/Table0.dat --json
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(JSON ident_first GET "${out}" ident bytes 0)
string(JSON replaced GET "${out}" against curves_replaced)
string(JSON first_kzht GET "${out}" kzht_tables 0 id)
if(NOT rc EQUAL 0 OR NOT ident_first EQUAL 75 OR replaced LESS 1 OR NOT first_kzht EQUAL 1201)
  message(FATAL_ERROR "inspect --json: exit ${rc}, ident byte ${ident_first}, replaced ${replaced}, first ${first_kzht}")
endif()
execute_process(COMMAND ${CLI} list ${WORK}/calib abcde 7 --source-dir ${WORK}/source --json OUTPUT_VARIABLE out)
string(JSON name GET "${out}" entries 0 name)
string(JSON copy GET "${out}" entries 0 copy)
if(NOT name STREQUAL "table1.dat" OR NOT copy STREQUAL "current")
  message(FATAL_ERROR "list --json: ${out}")
endif()
execute_process(COMMAND ${CLI} check ${WORK}/calib --source-dir ${WORK}/source --json OUTPUT_VARIABLE out)
string(JSON healthy GET "${out}" healthy)
if(NOT healthy STREQUAL "OFF" AND NOT healthy STREQUAL "false")
  message(FATAL_ERROR "check --json: the malformed abcde008.ini should make it unhealthy: ${out}")
endif()

# plot: an SVG and the CSV of every curve.
run(0 "wrote ${WORK}/p.svg: [0-9]+ curves" plot ${WORK}/calib/table1.dat --against ${WORK}/source/Table0.dat -o ${WORK}/p.svg)
run(0 "^table,slot,adjust_id,role,e0,.*\n1201,0,-3,copy,0," plot ${WORK}/calib/table1.dat --table 1201 --csv)
run(2 "no output file given" plot ${WORK}/calib/table1.dat)
run(1 "holds no KZHT curve in table 999" plot ${WORK}/calib/table1.dat --table 999 -o ${WORK}/q.svg)
# JSON answers parse as JSON (cmake's own reader) and carry the documented fields.
execute_process(COMMAND ${CLI} inspect ${WORK}/calib/table1.dat --against ${WORK}/source/Table0.dat --json
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(JSON ident_first GET "${out}" ident bytes 0)
string(JSON replaced GET "${out}" against curves_replaced)
string(JSON first_kzht GET "${out}" kzht_tables 0 id)
if(NOT rc EQUAL 0 OR NOT ident_first EQUAL 75 OR replaced LESS 1 OR NOT first_kzht EQUAL 1201)
  message(FATAL_ERROR "inspect --json: exit ${rc}, ident byte ${ident_first}, replaced ${replaced}, first ${first_kzht}")
endif()
execute_process(COMMAND ${CLI} list ${WORK}/calib abcde 7 --source-dir ${WORK}/source --json OUTPUT_VARIABLE out)
string(JSON name GET "${out}" entries 0 name)
string(JSON copy GET "${out}" entries 0 copy)
if(NOT name STREQUAL "table1.dat" OR NOT copy STREQUAL "current")
  message(FATAL_ERROR "list --json: ${out}")
endif()
execute_process(COMMAND ${CLI} check ${WORK}/calib --source-dir ${WORK}/source --json OUTPUT_VARIABLE out)
string(JSON healthy GET "${out}" healthy)
if(NOT healthy STREQUAL "OFF" AND NOT healthy STREQUAL "false")
  message(FATAL_ERROR "check --json: the malformed abcde008.ini should make it unhealthy: ${out}")
endif()

# plot: an SVG and the CSV of every curve.
run(0 "wrote ${WORK}/p.svg: [0-9]+ curves" plot ${WORK}/calib/table1.dat --against ${WORK}/source/Table0.dat -o ${WORK}/p.svg)
run(0 "^table,slot,adjust_id,role,e0,.*\n1201,0,-3,copy,0," plot ${WORK}/calib/table1.dat --table 1201 --csv)
run(2 "no output file given" plot ${WORK}/calib/table1.dat)
run(1 "holds no KZHT curve in table 999" plot ${WORK}/calib/table1.dat --table 999 -o ${WORK}/q.svg)
file(REMOVE_RECURSE ${WORK})
