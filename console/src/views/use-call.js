// Runs an async read of the service and keeps its answer, its refusal and
// whether it is still under way; `reload` runs it again.
import { useCallback, useEffect, useRef, useState } from "react";

export function useCall(read, deps) {
  const [state, setState] = useState({ loading: true, value: undefined, error: null });
  const generation = useRef(0);
  const reload = useCallback(() => {
    const mine = ++generation.current;
    return read().then(
      value => { if (mine === generation.current) setState({ loading: false, value, error: null }); },
      error => { if (mine === generation.current) setState({ loading: false, value: undefined, error }); });
  }, deps); // eslint-disable-line react-hooks/exhaustive-deps
  useEffect(() => { reload(); }, [reload]);
  return { ...state, reload };
}
