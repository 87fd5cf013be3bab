# What the end-to-end builds of both systems share: the loopback port of their launcher's service,
# its deployment values and the certificate authority that launcher trusts.

# torvane_choose_e2e_port(<launcher>): the cache variable TORVANE_E2E_PORT, the loopback port of the
# service that <launcher> talks to. 0 (the default) chooses one when the build folder is first
# configured, below the kernel's ephemeral range (32768 and up), so no other test's connection takes
# it.
function(torvane_choose_e2e_port launcher)
  set(description "Loopback port of the service that ${launcher} talks to (0: chosen when first configured)")
  set(TORVANE_E2E_PORT 0 CACHE STRING "${description}")
  if(TORVANE_E2E_PORT EQUAL 0)
    string(RANDOM LENGTH 4 ALPHABET 0123456789 digits)
    math(EXPR port "20000 + 1${digits} - 10000")
    set(TORVANE_E2E_PORT ${port} CACHE STRING "${description}" FORCE)
  endif()
endfunction()

# torvane_write_e2e_build_values(<output> <host>): the loopback launcher's deployment values
# (cmake/build_config.cpp.in), its service and web origins at https://<host>:<TORVANE_E2E_PORT>.
function(torvane_write_e2e_build_values output host)
  set(TORVANE_SERVICE_ORIGIN "https://${host}:${TORVANE_E2E_PORT}")
  set(TORVANE_WEB_ORIGIN "https://${host}:${TORVANE_E2E_PORT}")
  torvane_write_build_values(${output})
endfunction()

# torvane_make_test_ca(<folder>): the certificate authority of the end-to-end tests, made with
# openssl when a build folder is first configured: <folder>/test-ca.pem, compiled into the
# loopback launcher as its extra root, and <folder>/test-ca.key, with which each test issues its
# server's certificate. Both stay in the build folder: nothing that ships trusts them.
function(torvane_make_test_ca folder)
  if(EXISTS "${folder}/test-ca.pem" AND EXISTS "${folder}/test-ca.key")
    return()
  endif()
  find_program(TORVANE_OPENSSL openssl REQUIRED)
  file(MAKE_DIRECTORY "${folder}")
  file(WRITE "${folder}/test-ca.cnf" "[req]
distinguished_name = name
prompt = no
x509_extensions = ca
[name]
O = Torvane test
CN = Torvane end-to-end test CA
[ca]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
")
  execute_process(
    COMMAND "${TORVANE_OPENSSL}" req -x509 -config test-ca.cnf -newkey ec -pkeyopt ec_paramgen_curve:P-256
            -nodes -days 3650 -keyout test-ca.key -out test-ca.pem
    WORKING_DIRECTORY "${folder}" RESULT_VARIABLE made OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT made EQUAL 0)
    file(REMOVE "${folder}/test-ca.pem" "${folder}/test-ca.key")
    message(FATAL_ERROR "openssl could not make the end-to-end test CA: ${errors}")
  endif()
  file(CHMOD "${folder}/test-ca.key" PERMISSIONS OWNER_READ OWNER_WRITE)
endfunction()
