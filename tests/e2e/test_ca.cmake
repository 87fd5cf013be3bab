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
