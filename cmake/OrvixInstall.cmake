# What an installed unit holds, as a table. The programs and the helper programs the unit
# starts live in one private directory that the daemons' services put first on PATH: some
# names ("reset", "confget", "database") are taken by other packages in /usr/bin.
# dspsim and the host-command stand-ins belong to test images only and are not installed.
set(ORVIX_PROGRAM_DIR lib/orvix/bin)

# targets
set(orvix_unit_programs
  database regserver master rapqueue remoteio limiters   # daemons
  scopegrab                                              # scope capture, started by database
  inspector monitor confget                              # console tools
  orxloadsave a_loadSave a_measurement a_timerSim        # helper programs database starts
)
# helper scripts database starts
set(orvix_unit_scripts
  helpers/scripts/dcrb
  helpers/scripts/reset
  helpers/scripts/date.sh
  helpers/scripts/fileDump.sh
  helpers/scripts/updatePasswords.sh
)
# default configuration: the "config" rows of the table an installed unit and an image share
file(STRINGS ${CMAKE_SOURCE_DIR}/unit/image.list image_rows REGEX "^config ")
set(orvix_unit_defaults)
foreach(row ${image_rows})
  string(REGEX REPLACE "^config +([^ ]+) .*" "unit/\\1" file "${row}")
  list(APPEND orvix_unit_defaults ${file})
endforeach()

foreach(program ${orvix_unit_programs})
  if(NOT TARGET ${program})
    message(FATAL_ERROR "install table: no program ${program}")
  endif()
endforeach()
install(TARGETS ${orvix_unit_programs} RUNTIME DESTINATION ${ORVIX_PROGRAM_DIR})
install(PROGRAMS ${orvix_unit_scripts} DESTINATION ${ORVIX_PROGRAM_DIR})
install(FILES ${orvix_unit_defaults} DESTINATION share/orvix/defaults)
install(FILES unit/image.list DESTINATION share/orvix)
# The web front end's CGI, packaged on its own.
install(TARGETS discovery RUNTIME DESTINATION lib/cgi-bin)
