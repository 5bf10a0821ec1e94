-- Gives running jobs a moment to finish before the upgrade starts.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'wait_for_jobs.sql');
WAITFOR DELAY '00:00:01.200';
SELECT 0;
GO
