# Sourced by the process-level test scripts that run a finger server on
# port 79 of a private network namespace.

# wait_for_port_79 PID: waits up to 10 s until something listens on port 79;
# fails at once when the server PID has ended.
wait_for_port_79() {
  local _
  for _ in $(seq 200); do
    ss -ltnH 'sport = :79' | grep -q . && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
